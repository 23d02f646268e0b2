# The content writers register themselves: link them whole.
vostrel_test(TransitionEffectTests
  SOURCES TransitionEffectTest.cpp
  LIBS VostrelTransitionEffect VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
vostrel_test(ElevatorEffectTests
  SOURCES ElevatorEffectTest.cpp
  LIBS VostrelElevatorEffect VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
