// Shared by the fuzz targets: a private scratch folder on a RAM disk when
// there is one, and a check that aborts so libFuzzer records the input.
#pragma once

#include <cstddef>
#include <string>

namespace fuzz {

// Created on first use, removed with its contents at exit.
const std::string& ScratchDir();

bool WriteFile(const std::string& path, const void* data, std::size_t size);

[[noreturn]] void Fail(const char* what, const char* file, int line);

}  // namespace fuzz

#define FUZZ_CHECK(cond) \
    ((cond) ? (void)0 : ::fuzz::Fail(#cond, __FILE__, __LINE__))
