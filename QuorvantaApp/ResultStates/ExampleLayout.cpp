#include "QuorvantaApp/ResultStates/ExampleLayout.h"

namespace quorvanta::app {

int rowWidth(std::span<const int> widths, int spacing) {
    int width = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) width += widths[i] + (i > 0 ? spacing : 0);
    return width;
}

ExampleArrangement exampleArrangement(std::span<const int> widths, int spacing, int available) {
    return rowWidth(widths, spacing) <= available ? ExampleArrangement::oneRow : ExampleArrangement::threeAndThree;
}

}  // namespace quorvanta::app
