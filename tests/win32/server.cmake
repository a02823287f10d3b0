# The start of the database server through the DLL's Win32 adapter under Wine: a stand-in server
# window and stand-in services, one ExportXML run per case. The test makes a prefix of its own
# (the cases register services), so it takes its time: about 15 s to boot the prefix.
kx_wine_program(kxserverwindow_win kxserverwindow_win.cpp)
kx_wine_program(kxservice_win kxservice_win.cpp)
find_program(KX_BASH bash REQUIRED)
kx_wine_test(${KX_WINE_ARCH}.ServerStartThroughWin32Adapter TIMEOUT 300
  COMMAND ${KX_BASH} ${KX_SCRIPTS}/wine_server.sh ${KX_WINE} ${KX_WINESERVER} $<TARGET_FILE:kxrun_win>
          $<TARGET_FILE:ImpApiKorvalix> $<TARGET_FILE:kxserverwindow_win> $<TARGET_FILE:kxservice_win>)
