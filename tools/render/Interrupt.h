#pragma once

namespace tolmar::render
{
// Ctrl-C and termination requests end a render between two blocks, so that
// the temporary output is removed and an existing OUT stays untouched.
void catchInterrupts();
bool interrupted();
} // namespace tolmar::render
