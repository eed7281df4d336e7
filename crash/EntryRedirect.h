// Makes every call of a function land in another, however the caller found
// it (an import table or GetProcAddress): the function's entry is overwritten
// with a jump. x64 only.
#pragma once

// False when the jump could not be written; the function is then left as it
// was. Nothing of the original is kept: it cannot be called any more.
[[nodiscard]] bool RedirectFunctionEntry(void* entry, const void* replacement);
