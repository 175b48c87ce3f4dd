#pragma once
// The GEMS sequence bank (skeleton; completed with the interpreter).

#include <cstdint>
#include <vector>

struct SequenceBank {
    std::vector<uint8_t> bytes;
};

struct InterpreterBudget {
};
