# The preview window Tovik_R and its built-in picture. Included by saver/session/CMakeLists.txt.

# The arithmetic and pixel packing, free of any display, for the unit tests.
add_library(mirevo_preview_logic STATIC twips.cpp preview_layout.cpp preview_pixel_format.cpp)
target_include_directories(mirevo_preview_logic PUBLIC ${PROJECT_SOURCE_DIR})

# Img_Prev's picture, made by saver/session/preview_picture/make-preview-picture.
qt_add_resources(mirevo_preview_resources ${CMAKE_CURRENT_LIST_DIR}/resources/preview.qrc)

add_library(mirevo_preview STATIC preview_window.cpp preview_x11_window.cpp ${mirevo_preview_resources})
target_include_directories(mirevo_preview PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(mirevo_preview PUBLIC mirevo_preview_logic Qt6::Gui PRIVATE X11::X11)
