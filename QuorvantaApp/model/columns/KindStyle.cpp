#include "QuorvantaApp/model/columns/KindStyle.h"

namespace quorvanta::app {

KindStyle kindStyle(const platform::Settings& d) {
    return d.text(kindStyleKey) == "description" ? KindStyle::description : KindStyle::badge;
}

}  // namespace quorvanta::app
