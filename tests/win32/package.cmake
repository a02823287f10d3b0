# The checks of what make package ships, included from this folder's CMakeLists.txt after its Wine
# set-up (it uses kx_wine_test, kx_skipped_test, KX_WINE, KX_WINESERVER, KX_WINE_RUNS and, where
# the database test is built, kxrun_win and the gds32bridge target): the version resources of
# this build's DLL and installer, Authenticode signing with a throw-away certificate, and the
# installer under Wine. The installer is looked for when the tests run, so make package needs no
# configure run afterwards; until it exists, its tests report themselves skipped.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KX_PACKAGE_BITS 64)
  set(KX_PACKAGE_ARCH win64)
  set(KX_SETUP_NAME ImpApiKorvalix-${PROJECT_VERSION}-setup-x64.exe)
else()
  set(KX_PACKAGE_BITS 32)
  set(KX_PACKAGE_ARCH win32)
  set(KX_SETUP_NAME ImpApiKorvalix-${PROJECT_VERSION}-setup.exe)
endif()
set(KX_SETUP ${CMAKE_BINARY_DIR}/package/${KX_SETUP_NAME})
find_program(KX_PACKAGE_BASH bash REQUIRED)
find_program(KX_WRESTOOL wrestool)  # icoutils
find_program(KX_OSSLSIGNCODE osslsigncode)

# name | file | original file name | description, as src/platform/win32/ImpApiKorvalix.rc.in and
# install/windows/ImpApiKorvalix.nsi write them
set(KX_VERSION_CASES
  "DllVersionResource|$<TARGET_FILE:ImpApiKorvalix>|ImpApiKorvalix.dll|Import-Plug-in KORVALIX (${KX_PACKAGE_BITS}-bit)"
  "SetupVersionResource|${KX_SETUP}|${KX_SETUP_NAME}|Installation des Import-Plug-ins KORVALIX")
foreach(case IN LISTS KX_VERSION_CASES)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  if(NOT KX_WRESTOOL)
    kx_skipped_test(${KX_PACKAGE_ARCH}.${name} "wrestool (icoutils) is not installed")
    continue()
  endif()
  list(GET case 1 file)
  list(GET case 2 original)
  list(GET case 3 description)
  add_test(NAME ${KX_PACKAGE_ARCH}.${name} COMMAND ${KX_PACKAGE_BASH} ${CMAKE_CURRENT_LIST_DIR}/version_resource.sh
           ${PROJECT_VERSION} ${file} ${original} ${description})
  set_tests_properties(${KX_PACKAGE_ARCH}.${name} PROPERTIES TIMEOUT 30 SKIP_RETURN_CODE 77)
endforeach()

if(KX_OSSLSIGNCODE)
  add_test(NAME ${KX_PACKAGE_ARCH}.AuthenticodeSignatureVerifies COMMAND ${KX_PACKAGE_BASH}
           ${CMAKE_CURRENT_LIST_DIR}/authenticode.sh ${CMAKE_SOURCE_DIR} $<TARGET_FILE:ImpApiKorvalix> ${KX_SETUP})
  set_tests_properties(${KX_PACKAGE_ARCH}.AuthenticodeSignatureVerifies PROPERTIES TIMEOUT 120)
else()
  kx_skipped_test(${KX_PACKAGE_ARCH}.AuthenticodeSignatureVerifies "osslsigncode is not installed")
endif()

# The installer in a fresh prefix of its own: which DLL and key view hosts of both widths get,
# update, removal, and, where the database bridge is built, an offline run through the
# installed DLL and database.
set(KX_SETUP_TEST ${KX_PACKAGE_ARCH}.SetupInstallsDllOfHostWidth)
if(NOT KX_WINE_RUNS)
  kx_skipped_test(${KX_SETUP_TEST} "${KX_WINE_SKIP_REASON}")
elseif(NOT KX_OSSLSIGNCODE)
  kx_skipped_test(${KX_SETUP_TEST} "osslsigncode is not installed")
else()
  set(KX_SETUP_RUNNER -)
  set(KX_SETUP_BRIDGE -)
  if(TARGET gds32bridge)
    set(KX_SETUP_RUNNER $<TARGET_FILE:kxrun_win>)
    set(KX_SETUP_BRIDGE ${KX_BRIDGE_DIR}/gds32.dll.so)
  endif()
  kx_wine_test(${KX_SETUP_TEST} TIMEOUT 600
    COMMAND ${KX_PACKAGE_BASH} ${CMAKE_CURRENT_LIST_DIR}/wine_setup.sh ${KX_WINE} ${KX_WINESERVER} ${KX_PACKAGE_ARCH}
            ${KX_SETUP} $<TARGET_FILE:kxhost_win> ${KX_SETUP_RUNNER} ${KX_SETUP_BRIDGE} ${CMAKE_SOURCE_DIR}
            ${KX_LINUX_BIN})
  set_tests_properties(${KX_SETUP_TEST} PROPERTIES SKIP_RETURN_CODE 77)
  if(TARGET gds32bridge)
    set_tests_properties(${KX_SETUP_TEST} PROPERTIES FIXTURES_REQUIRED "KxWinePrefix;KxFirebirdServer")
  endif()
endif()
