// Included before anything else in the Linux build's tests: GoogleTest is built as Linux code
// there (winegcc declares every program a Windows one), and its header must see what its
// library was built with.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("WIN32")
#pragma push_macro("__WIN32__")
#pragma push_macro("_WIN64")
#undef _WIN32
#undef WIN32
#undef __WIN32__
#undef _WIN64
#include <gtest/gtest.h>
#pragma pop_macro("_WIN32")
#pragma pop_macro("WIN32")
#pragma pop_macro("__WIN32__")
#pragma pop_macro("_WIN64")
