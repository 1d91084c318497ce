# Cross-compiling for Windows with MinGW-w64, for the CMAKE_SYSTEM_PROCESSOR the including file names.
# The -posix drivers carry std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(KESTREL_MINGW ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTREL_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: otherwise every program needs libstdc++-6.dll and friends at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
