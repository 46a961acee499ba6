// The platform contract against the fake platform the core's tests run on.
#include "platform/fake/fake_platform.h"
#include "tests/platform_contract.h"

Platform &contractPlatform() {
    static FakePlatform fake;
    fake.drives[2] = {kDriveFixed, std::filesystem::temp_directory_path().string()};
    return fake;
}
