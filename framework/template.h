// Dialog templates as data: each backend builds its windows from the same description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

enum class ControlClass { Button, Edit, Static, ListBox, ScrollBar, Progress };

struct ControlTemplate {
    ControlClass cls;
    int id;            // -1 for labels
    std::string text;  // UTF-8
    int x, y, cx, cy;  // dialog units
    uint32_t style;    // WS_CHILD and WS_VISIBLE are implied
    uint32_t exStyle = 0;
};

struct DialogTemplate {
    int id;
    std::string caption;
    int cx, cy;  // dialog units
    std::string font;
    int pointSize;
    uint32_t style;
    uint32_t exStyle;
    std::vector<ControlTemplate> controls;  // in tab order
};

// The templates of the program's resources, by id; null when there is none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace fw
