# The agent-follow and admin parts; the content writers register themselves:
# link them whole.
vostrel_test(AgentFollowEffectTests
  SOURCES AgentFollowEffectTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelAgentAdminEffects>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
vostrel_test(AdminEffectTests
  SOURCES AdminEffectTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelAgentAdminEffects>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
