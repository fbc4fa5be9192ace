// A stream buffer that gathers many small writes in memory and hands them on to another stream
// buffer in large blocks. The exchange-file writer puts every number on the stream on its own;
// a file stream's buffer does several times the work of a memory copy for each such call.
#pragma once

#include <cstddef>
#include <memory>
#include <streambuf>

namespace KorvaneGeometry {

class BlockWriteBuf : public std::streambuf {
public:
    BlockWriteBuf(std::streambuf& target, std::size_t blockSize);
    // Hands on what is still gathered (what it can), like a stream that is destroyed.
    ~BlockWriteBuf() override;
    BlockWriteBuf(const BlockWriteBuf&) = delete;
    BlockWriteBuf& operator=(const BlockWriteBuf&) = delete;

    // Hands the gathered bytes on; false when the target took fewer than all of them.
    bool flushBlock();

protected:
    // A full block that cannot be handed on makes the write that needed the room fail.
    int_type overflow(int_type c) override;
    int sync() override;

private:
    std::streambuf& target_;
    std::unique_ptr<char[]> block_;
    std::size_t blockSize_;
};

} // namespace KorvaneGeometry
