#pragma once

namespace nerolin::fiscal {

// Detail blocks resolve names per document line, header and footer blocks
// per document.
enum class BlockKind { kDetail, kHeaderFooter };

}  // namespace nerolin::fiscal
