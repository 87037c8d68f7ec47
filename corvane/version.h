// The program's version: the one place the number is written. Both programs' version resources
// take it from here; the code reads it back from the resource at run time.
#pragma once
#define CORVANE_VERSION_BIN 1, 0, 4, 0
#define CORVANE_VERSION_TEXT "1.0.4"
