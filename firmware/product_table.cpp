#include "product_table.h"

#include <cstddef>
#include <cstdint>

extern const std::uint8_t qvt_table_bytes[];
extern const std::size_t qvt_table_bytes_size;

namespace qvt {

const DescrambleTable& ProductDescrambleTable() {
    static const DescrambleTable table = [] {
        DescrambleTable entries{};
        for (std::size_t i = 0; i < entries.size() && i < qvt_table_bytes_size; ++i) {
            entries[i] = qvt_table_bytes[i];
        }
        return entries;
    }();
    return table;
}

}  // namespace qvt
