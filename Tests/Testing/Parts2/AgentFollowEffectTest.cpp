// The agent-follow part played by the show from generated content.
#include "Libs/Testing/AgentFollowEffect.h"
#include "Tests/Testing/Parts/PartShow.h"

namespace Vostrel {
namespace {

const float segmentStart = 96.513374f;

class AgentShow : public PartTests::PartShow {
protected:
    AgentShow() : PartShow("AgentFollowEffect", {"agentfollow"}) {}
    AgentFollowEffectImpl& agent() { return dynamic_cast<AgentFollowEffectImpl&>(*getPart()); }
};

TEST_F(AgentShow, PlaysItsSegment)
{
    const std::vector<float> times = {segmentStart + 0.4f, segmentStart + 3.0f, segmentStart + 8.7f,
                                      segmentStart + 14.0f, segmentStart + 17.0f};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    for (size_t i = 0; i < times.size(); ++i)
        PartTests::expectLively(frames()[i], std::to_string(times[i]));
}

} // namespace
} // namespace Vostrel
