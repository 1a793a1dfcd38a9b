#pragma once

#include <vector>

// Linux hands a new socket the lowest free descriptor number. A test that
// needs a new socket to get one particular number fills every free number
// below it first.
namespace testing_support {

class DescriptorFiller {
public:
    // Opens /dev/null into every free descriptor number below `fd`.
    explicit DescriptorFiller(int fd);
    ~DescriptorFiller();
    DescriptorFiller(const DescriptorFiller&) = delete;
    DescriptorFiller& operator=(const DescriptorFiller&) = delete;

private:
    std::vector<int> held_;
};

}  // namespace testing_support
