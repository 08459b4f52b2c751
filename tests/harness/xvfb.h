#pragma once
// A private X server for one test: Xvfb on a free display number, never reset, stopped when this object goes.
#include <string>
#include <vector>

#include <sys/types.h>

namespace mirevo::test {

class Xvfb {
public:
    // Starts Xvfb with `screens` screens of the given size (depth 24) and waits until it accepts clients.
    // extraArguments go to the server as they are ("-pixdepths", "15 30" for pixmaps of other depths).
    explicit Xvfb(int width = 1024, int height = 768, int screens = 1, std::vector<std::string> extraArguments = {});
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; } // ":N"
    pid_t pid() const { return pid_; }                      // for measuring what the server spends

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace mirevo::test
