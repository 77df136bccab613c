#include "QuorvantaApp/TopBar/CategoryChipList.h"

namespace quorvanta::app {

std::vector<CategoryChipItem> categoryChipList(const std::vector<Category>& stored, std::string_view filterId) {
    std::vector<CategoryChipItem> items;
    items.reserve(stored.size() + 2);
    const auto add = [&](const Category& category) {
        items.push_back({category, category.id == filterId, category.displayName()});
    };
    add(Category::all());
    for (const Category& category : stored) add(category);
    add(Category::folders());
    return items;
}

}  // namespace quorvanta::app
