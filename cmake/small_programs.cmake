# How the programs' own code is compiled for size. The Windows test builds
# compile it as the package does, so that their tests run the code as shipped;
# the release builds differ only in the thread model (CMakePresets.json).

if(NOT WIN32)
  # The static Linux program is the package's too: a link map for scripts/sizes.sh.
  if(TURFWISE_STATIC)
    target_link_options(turfwise-cli PRIVATE -Wl,-Map,${CMAKE_BINARY_DIR}/cli/turfwise-cli.map)
  endif()
  return()
endif()

# The window program, its framework and the data layer neither throw nor catch
# (ui/no_exceptions.cpp ends the program where the library would throw), so
# they are built without exception support. The 32-bit code then needs no
# DWARF unwind tables either; 64-bit Windows requires its unwind data, which
# stays.
set(turfwise_no_exceptions -fno-exceptions)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND turfwise_no_exceptions -fno-asynchronous-unwind-tables)
endif()
foreach(target data framework ui_controls turfwise_ui Turfwise)
  target_compile_options(${target} PRIVATE -Os ${turfwise_no_exceptions} -ffunction-sections)
endforeach()
target_sources(Turfwise PRIVATE ${CMAKE_SOURCE_DIR}/ui/no_exceptions.cpp)
target_link_options(Turfwise PRIVATE -Wl,--gc-sections)

# The command line keeps its exceptions: nlohmann::json reports through them.
foreach(target cli_commands turfwise-cli)
  target_compile_options(${target} PRIVATE -Os)
endforeach()

# Link maps beside the programs, for scripts/sizes.sh.
foreach(target Turfwise turfwise-cli)
  get_target_property(dir ${target} BINARY_DIR)
  target_link_options(${target} PRIVATE -Wl,-Map,${dir}/${target}.map)
endforeach()
