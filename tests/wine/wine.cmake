# The Windows tests run Wine on an X display with the prefix's server running.
# The fixture `wine` (tests/wine/CMakeLists.txt) starts both, or takes those
# already there, and every test that runs Wine requires it (velk_wine_tests).
# The toolchain's emulator runs through on-display, which hands Wine the
# fixture's display: set before any target, whose emulator is taken from it.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(VELK_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(VELK_WINE_STATE ${CMAKE_BINARY_DIR}/wine-fixture)
  set(VELK_ON_DISPLAY ${CMAKE_CURRENT_LIST_DIR}/on-display ${VELK_WINE_STATE}/display)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELK_ON_DISPLAY} ${VELK_WINE})
  # The X server's own key and button input, for the tests that need a key's
  # or a button's true state under Wine; empty when it is missing (they fail).
  find_program(VELK_XDOTOOL xdotool)
  if(NOT VELK_XDOTOOL)
    set(VELK_XDOTOOL "")
  endif()
endif()

# Marks tests that run Wine; nothing outside the Windows build.
function(velk_wine_tests)
  if(VELK_WINE)
    set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED wine)
  endif()
endfunction()
