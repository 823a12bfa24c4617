// The one platform detail of scout-cli's output: bytes reach standard output unchanged.
#pragma once

namespace scout::cli {
void PrepareConsoleOutput();
}
