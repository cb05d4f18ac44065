// Number helpers shared by the whole program.
#pragma once

// A random integer from lo to hi inclusive, from the C library's rand().
// lo == hi returns lo without drawing; hi < lo is a fatal alert.
int int_rand(int lo, int hi);
