#pragma once
// Deciphering stored desktop records with the pass phrase the main program put into the
// shared block "KeyvxCrypt". The pass phrase is read at every call, never kept.
#include <string>
#include <string_view>

namespace vexlo {

// Plain bytes of a stored text (possibly empty). A wrong pass phrase gives wrong bytes of
// the right length; a missing block reads as the empty pass phrase.
std::string DecipherText(std::string_view stored);

}  // namespace vexlo
