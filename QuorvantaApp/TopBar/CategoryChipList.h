// The chips of the category row, built anew on every redraw: "all" first, then the stored
// categories in their stored order, then "folders". A chip is identified by its category's id and
// is selected when that id is the current filter's. Its label is the category's display name (the
// translated default name when the stored name is empty).
//
// Threads: a pure function of its arguments; the labels are looked up in the shared language.
#pragma once

#include "QuorvantaApp/model/prefs/Category.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct CategoryChipItem {
    Category category;
    bool selected = false;
    std::string label;  // Category::displayName()

    bool operator==(const CategoryChipItem&) const = default;
};

std::vector<CategoryChipItem> categoryChipList(const std::vector<Category>& stored, std::string_view filterId);

}  // namespace quorvanta::app
