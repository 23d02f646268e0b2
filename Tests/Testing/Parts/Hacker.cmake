# The attack and the two hacker parts.
vostrel_test(HackerPartsTests
  SOURCES HackerPartsTest.cpp
  LIBS VostrelHackerParts VostrelTestSupport VostrelDirectX "$<LINK_LIBRARY:WHOLE_ARCHIVE,VostrelContent>")
