// The defines winegcc gives a Winelib program that take arguments, which CMake cannot pass on a
// command line; included before every file of the harness.
#pragma once

#define __declspec(x) __declspec_##x
#define __declspec_align(x) __attribute__((aligned(x)))
