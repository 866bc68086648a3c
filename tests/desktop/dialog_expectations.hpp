// The dialogs as the tool's user must get them: each dialog's size in dialog units and its
// controls (kind, identifier, rectangle, text), written out here once more rather than read from
// the templates, so that a wrong number in the templates or in a front end's way of building a
// dialog from them shows. One table for both desktop front ends: the template check of
// test_desktop, the wx GUI test and the Win32 GUI test (under Wine) run it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "res/res.hpp"

struct ExpectedControl {
    ControlKind kind;
    int id;
    int x, y, width, height;
    const char* text;
};

struct ExpectedDialog {
    int id;
    int width, height;
    int fontPoints;
    bool closeBox;
    // The progress window is at least this wide in pixels, whatever its font (0: no minimum).
    int minClientWidthPx;
    std::vector<ExpectedControl> controls;
};

inline const std::vector<ExpectedDialog>& ExpectedDialogs() {
    using K = ControlKind;
    static const std::vector<ExpectedDialog> dialogs = {
        {107,
         153,
         66,
         9,
         false,
         0,
         {{K::GroupBox, 100, 3, 4, 92, 56, "Connect Port"},
          {K::RadioButton, 115, 10, 16, 35, 10, "AUTO"},
          {K::RadioButton, 111, 10, 30, 35, 10, "COM1"},
          {K::RadioButton, 112, 10, 44, 35, 10, "COM2"},
          {K::RadioButton, 113, 51, 16, 35, 10, "COM3"},
          {K::RadioButton, 114, 51, 30, 35, 10, "COM4"},
          {K::DefaultButton, 1, 103, 27, 45, 14, "&OK"},
          {K::PushButton, 2, 103, 45, 45, 14, "&Quit"}}},
        {103,
         159,
         61,
         9,
         false,
         0,
         {{K::CentredText, 100, 7, 7, 145, 30, ""},
          {K::DefaultButton, 1, 35, 43, 40, 14, "Continue"},
          {K::PushButton, 2, 84, 43, 40, 14, "Quit"}}},
        {105,
         185,
         53,
         9,
         false,
         0,
         {{K::CentredText, 100, 8, 7, 169, 20, ""},
          {K::DefaultButton, 1, 47, 35, 40, 14, "Continue"},
          {K::PushButton, 2, 99, 35, 40, 14, "Quit"}}},
        {104,
         185,
         67,
         9,
         false,
         0,
         {{K::CentredText, 100, 7, 8, 170, 33, ""}, {K::DefaultButton, 1, 73, 48, 40, 14, "OK"}}},
        {112,
         159,
         70,
         9,
         true,
         0,
         {{K::CentredText, 100, 7, 8, 145, 34, ""}, {K::PushButton, 2, 60, 50, 40, 16, "Quit"}}},
        {108, 213, 42, 8, false, 320, {{K::CentredText, 100, 4, 6, 178, 10, ""}}},
    };
    return dialogs;
}

// A rectangle in pixels of the dialog's client area.
struct PixelRect {
    int x, y, width, height;
};

// Whether a control that a front end made has the rectangle of its template (`expected`, the
// template's dialog units in the dialog's pixels): exactly, except that a radio button may be
// larger where the toolkit's theme needs it, keeping its left edge and vertical centre.
inline ::testing::AssertionResult ControlHasItsRectangle(ControlKind kind, PixelRect expected,
                                                         PixelRect actual) {
    const bool exact = actual.x == expected.x && actual.y == expected.y &&
                       actual.width == expected.width && actual.height == expected.height;
    const bool grownRadio =
        kind == ControlKind::RadioButton && actual.x == expected.x &&
        actual.width >= expected.width && actual.height >= expected.height &&
        std::abs((2 * actual.y + actual.height) - (2 * expected.y + expected.height)) <= 2;
    if (exact || grownRadio) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at " << actual.x << "," << actual.y << " " << actual.width << "x" << actual.height
           << ", template " << expected.x << "," << expected.y << " " << expected.width << "x"
           << expected.height;
}
