#include "base/version.h"

namespace xoprex {

const char* version() {
    return XOPREX_VERSION;
}

}  // namespace xoprex
