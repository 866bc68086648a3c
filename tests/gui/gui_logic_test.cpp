// Toolkit parts of the GUI that need no window: file filters, the file dialog's size.
#include <gtest/gtest.h>

#include "app/app.hpp"
#include "app/gui/native_dialog.hpp"
#include "app/gui/wildcard.hpp"

namespace {

TEST(FileDialogSize, CutToTheViewButNeverBelowWhatItsContentNeeds) {
    // 1024 x 768 less caption and prompt bar: at most 820 x 591.
    const wxSize limit = FileDialogLimit(ViewRect{0, 0, 1024, 738});
    EXPECT_EQ(limit, wxSize(820, 591));
    const wxSize minimum(547, 373);
    EXPECT_EQ(FitDialogSize(wxSize(1096, 822), minimum, limit), limit);
    EXPECT_EQ(FitDialogSize(wxSize(700, 500), minimum, limit), wxSize(700, 500));
    EXPECT_EQ(FitDialogSize(wxSize(1096, 822), minimum, wxSize(500, 300)), minimum);
}

TEST(Wildcard, FilterStringBecomesToolkitWildcard) {
    EXPECT_EQ(WildcardFromFilter(LoadString(kStrFilter)), "Firmware Files (*.fw )   |*.fw");
    EXPECT_EQ(WildcardFromFilter("A|*.a|B|*.b||"), "A|*.a|B|*.b");
    EXPECT_EQ(WildcardFromFilter("A|*.a"), "A|*.a");
    EXPECT_EQ(WildcardFromFilter(""), "*");
    EXPECT_EQ(WildcardFromFilter("||"), "*");
}

}  // namespace
