# Shared part of the MinGW-w64 toolchain files; MINGW_TRIPLET names the target.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${MINGW_TRIPLET}")
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc)
if(NOT CMAKE_CXX_COMPILER) # the tests take the compiler whose threads have std::mutex
  set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++)
endif()
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The C and C++ runtimes go into the executable, so it runs on a bare Windows install.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
