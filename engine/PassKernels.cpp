// Which kernel table an engine takes.
#include "PassKernels.h"

namespace orvanta {

const PassKernels& chosenKernels() {
    const PassKernels* avx2 = avx2Kernels();
    return avx2 != nullptr ? *avx2 : baselineKernels();
}

KernelTables runnableKernels() {
    KernelTables tables = {{&baselineKernels(), avx2Kernels()}, 1};
    if (tables.table[1] != nullptr) tables.count = 2;
    return tables;
}

}  // namespace orvanta
