#include "tests/support/Descriptors.h"

#include <fcntl.h>
#include <unistd.h>

namespace testing_support {

DescriptorFiller::DescriptorFiller(int fd) {
    for (;;) {
        const int d = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (d < 0) break;
        if (d >= fd) {
            ::close(d);
            break;
        }
        held_.push_back(d);
    }
}

DescriptorFiller::~DescriptorFiller() {
    for (const int d : held_) ::close(d);
}

}  // namespace testing_support
