#include "BlockWriteBuf.h"

namespace KorvaneGeometry {

BlockWriteBuf::BlockWriteBuf(std::streambuf& target, std::size_t blockSize)
    : target_(target), block_(std::make_unique_for_overwrite<char[]>(blockSize)),
      blockSize_(blockSize) {
    setp(block_.get(), block_.get() + blockSize_);
}

BlockWriteBuf::~BlockWriteBuf() {
    flushBlock();
}

bool BlockWriteBuf::flushBlock() {
    const std::streamsize gathered = pptr() - pbase();
    const std::streamsize taken = gathered > 0 ? target_.sputn(pbase(), gathered) : 0;
    setp(block_.get(), block_.get() + blockSize_);
    return taken == gathered;
}

BlockWriteBuf::int_type BlockWriteBuf::overflow(int_type c) {
    if (!flushBlock()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int BlockWriteBuf::sync() {
    return flushBlock() && target_.pubsync() == 0 ? 0 : -1;
}

} // namespace KorvaneGeometry
