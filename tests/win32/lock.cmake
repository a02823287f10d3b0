# One import per data directory, for the DLL under Wine: two kxrun_win processes, the second
# started while the first waits for its transactions file. It needs what the database test needs
# (the gds32 bridge, the Firebird server fixture and the Linux tools), so it exists only with it.
if(TARGET gds32bridge)
  kx_wine_test(${KX_WINE_ARCH}.SecondImportIntoOneDataDirectoryIsRefused TIMEOUT 300 LOCKS KxWineRegistry
    COMMAND ${KX_BASH} ${KX_SCRIPTS}/wine_lock.sh ${KX_WINE} ${KX_LINUX_BIN} $<TARGET_FILE:kxrun_win>
            $<TARGET_FILE:ImpApiKorvalix> ${KX_BRIDGE_DIR}/gds32.dll.so ${CMAKE_SOURCE_DIR})
  set_tests_properties(${KX_WINE_ARCH}.SecondImportIntoOneDataDirectoryIsRefused PROPERTIES
    FIXTURES_REQUIRED "KxWinePrefix;KxFirebirdServer")
endif()

# One import at a time per staging database: a DLL run under Wine and a Linux run share one
# database through the server, both started while it is held.
if(TARGET gds32bridge)
  kx_wine_test(${KX_WINE_ARCH}.DllAndLinuxRunShareOneStagingDatabase TIMEOUT 300 LOCKS KxWineRegistry
    COMMAND ${KX_BASH} ${KX_SCRIPTS}/wine_shared_staging.sh ${KX_WINE} ${KX_LINUX_BIN} $<TARGET_FILE:kxrun_win>
            $<TARGET_FILE:ImpApiKorvalix> ${KX_BRIDGE_DIR}/gds32.dll.so ${CMAKE_SOURCE_DIR})
  set_tests_properties(${KX_WINE_ARCH}.DllAndLinuxRunShareOneStagingDatabase PROPERTIES
    FIXTURES_REQUIRED "KxWinePrefix;KxFirebirdServer")
endif()
