#pragma once

#include "seams/Window.h"

#include <exception>
#include <string>
#include <vector>

namespace vexor {

// Where a run without a window ends the program: caught by whoever ran the
// form's handlers.
class WindowlessProgramEnd : public std::exception {
  public:
    const char* what() const noexcept override { return "program ended"; }
};

// A window with no screen, for a refresh run from the command line: its
// controls keep what the form puts in them, and its toolkit writes each
// message box to a text output and ends the program by throwing
// WindowlessProgramEnd.
class IWindowlessWindow {
  public:
    virtual ~IWindowlessWindow() = default;
    virtual IToolkit& toolkit() = 0;
    virtual FormControls controls() = 0;
    // The network list's lines as they were first added (the walk's machine
    // names, before the address pass replaced them).
    virtual std::vector<std::string> networkLinesAsAdded() const = 0;
};

} // namespace vexor
