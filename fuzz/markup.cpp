// Markup (Greek names, #col= / #tab= codes, ^ and _ scripts) in a buffer of a stated size
// that may end without a terminator or inside an escape.
#include <cstring>
#include <memory>

#include "fuzz/fuzztarget.h"
#include "text/markup.h"

VOXDA_FUZZ_TARGET(markup) {
    uint32_t kind = fuzztake(data, size, 1);
    size_t room = fuzztake(data, size, 1) % 64;  // zero bytes after the text, maybe none
    size_t total = size + room;
    std::unique_ptr<char[]> buffer(new char[total ? total : 1]);
    if (size) std::memcpy(buffer.get(), data, size);
    std::memset(buffer.get() + size, 0, room);
    bool terminated = textend(buffer.get(), total) < buffer.get() + total;
    switch (kind % 5) {
        case 0: greekmarkup(buffer.get(), total); break;
        case 1: hashmarkup(buffer.get(), total); break;
        case 2: scriptmarkup(buffer.get(), total, static_cast<int>(kind / 5 % 4), 0, 256); break;
        case 3: markup(buffer.get(), total, static_cast<int>(kind / 5 % 4)); break;
        default:
            hashmarkup(buffer.get(), total);
            markup(buffer.get(), total, 2);
            break;
    }
    // A terminated text stays terminated within its buffer.
    if (terminated) FUZZ_CHECK(textend(buffer.get(), total) < buffer.get() + total);
    return 0;
}
