// The admin part played by the show from generated content.
#include "Libs/Testing/AdminEffect.h"
#include "Tests/Testing/Parts/PartShow.h"

namespace Vostrel {
namespace {

const float segmentStart = 201.240646f;

class AdminShow : public PartTests::PartShow {
protected:
    AdminShow() : PartShow("AdminEffect", {"admin", "video"}) {}
    AdminEffect& admin() { return dynamic_cast<AdminEffect&>(*getPart()); }
};

TEST_F(AdminShow, PlaysItsSegment)
{
    const std::vector<float> times = {segmentStart + 0.5f, segmentStart + 8.0f, 216.6f, 217.3f, 218.5f};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    for (size_t i = 0; i < times.size(); ++i)
        PartTests::expectLively(frames()[i], std::to_string(times[i]));
}

} // namespace
} // namespace Vostrel
