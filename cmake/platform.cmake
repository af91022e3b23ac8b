# What every folder's build shares about the two platforms.

# velk_platform_sources(out folder...): the *.cpp files of each folder with the
# other platform's left out: a *_win32.cpp file builds on Windows only, a
# *_posix.cpp file everywhere else, every other file everywhere.
function(velk_platform_sources out)
  set(sources "")
  foreach(folder ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The Win32 wide ("W") functions behind the generic names (MessageBox is
# MessageBoxW): linked privately by the Windows code that calls them so.
if(WIN32)
  add_library(velk_win32_wide INTERFACE)
  target_compile_definitions(velk_win32_wide INTERFACE UNICODE _UNICODE)
endif()
