// The program's version, one for every front end and output ("0.2.0"; set
// by the build from the project's version).
#pragma once

namespace xoprex {

const char* version();

}  // namespace xoprex
