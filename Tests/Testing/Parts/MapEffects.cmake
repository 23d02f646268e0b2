# The map parts: played by the show, and made by hand on one core.
vostrel_test(MapEffectShowTests
  SOURCES MapEffectShowTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelMapParts>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
vostrel_test(MapEffectPartTests
  SOURCES MapEffectPartTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelMapParts>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
