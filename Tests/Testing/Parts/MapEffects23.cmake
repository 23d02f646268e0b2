# The morphing and wall maps: played by the show, and made by hand on one core.
vostrel_test(MapEffect23ShowTests
  SOURCES MapEffect23ShowTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelMapParts23>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
vostrel_test(MapEffect23PartTests
  SOURCES MapEffect23PartTest.cpp
  LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelMapParts23>" VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
