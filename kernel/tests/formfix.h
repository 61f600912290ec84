#ifndef KERNEL_TESTS_FORMFIX_H
#define KERNEL_TESTS_FORMFIX_H

// What the variable-data form tests and the device's tests share: a
// PostScript printer that keeps forms on its disk, whose generator (the
// test class FormGenerator, registered by the form table's tests) takes
// whatever the table sends, and the form record the escapes carry.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/printer/printer.h"

PrinterModel formModel();

// A form record: the name (up to the 32 bytes of its field, or spilling
// into the bytes behind it), intent, box and matrix.
std::string formRecord(const std::string& name, uint16_t intent = 1, std::vector<uint16_t> box = {0, 0, 612, 792},
                       std::vector<float> matrix = {1, 0, 0, 1, 0, 0});

#endif
