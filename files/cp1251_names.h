#pragma once

namespace veltrona::cp1251_names {

// The code page's name as iconv knows it. Only tests change it, to a name no converter has, to
// see how the callers take a conversion that cannot be done.
extern const char* code_page;

}  // namespace veltrona::cp1251_names
