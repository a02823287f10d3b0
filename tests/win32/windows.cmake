# The library's windows under Wine, included by this folder's CMakeLists.txt: kxwindows_win drives
# the PIN prompt, the first-import notice, the progress window and the access-data dialog as a
# user does (keys and clicks through the input queue), inside a Wine virtual desktop on an Xvfb
# display of its own, against the provider simulator, and leaves a screenshot of each window as
# PNG in KX_ARTEFACTS.
if(NOT KX_ARTEFACTS)
  set(KX_ARTEFACTS ${CMAKE_BINARY_DIR}/test-artefacts)
endif()

kx_wine_program(kxwindows_win ${CMAKE_CURRENT_LIST_DIR}/kxwindows_win.cpp)
target_include_directories(kxwindows_win PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(kxwindows_win PRIVATE gdi32)
add_dependencies(kxwindows_win ImpApiKorvalix)  # loaded at run time, not linked

find_program(KX_XVFB Xvfb)
find_program(KX_CONVERT convert)  # ImageMagick: the screenshots from BMP to PNG
if(NOT (KX_SIMULATOR AND EXISTS "${KX_SIMULATOR}"))
  message(STATUS "Wine window test left out: it needs the Linux build's kxprovider (KX_SIMULATOR)")
elseif(NOT (KX_XVFB AND KX_CONVERT))
  message(STATUS "Wine window test left out: it needs Xvfb (xvfb) and convert (imagemagick)")
else()
  find_program(KX_BASH bash REQUIRED)
  # It writes the settings key and the .pdf association of the prefix: one at a time with the
  # other tests that write the registry.
  kx_wine_test(${KX_WINE_ARCH}.WindowsDrivenByAUser TIMEOUT 420 LOCKS KxWineRegistry
    COMMAND ${KX_BASH} ${KX_SCRIPTS}/wine_windows.sh ${KX_WINE} ${KX_SIMULATOR} $<TARGET_FILE:kxwindows_win>
            $<TARGET_FILE:ImpApiKorvalix> ${KX_ARTEFACTS})
endif()
