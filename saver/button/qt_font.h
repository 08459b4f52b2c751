#pragma once
// A stored font as a Qt font and back. Qt fonts carry no character set: the caller keeps that number.
#include <QFont>

#include "saver/button/button_properties.h"

namespace mirevo {

QFont qtFont(const FontSpec& stored);
// The character set is taken from `charset`, since the Qt font cannot carry one.
FontSpec storedFont(const QFont& font, int charset);

} // namespace mirevo
