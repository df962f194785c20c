# The Windows build (mingw-w64 cross build, see cmake/toolchains/): the same layers as
# the Linux build from the same folders. In each folder a "<name>_win.cpp" replaces
# "<name>.cpp"; the Linux-only backends below are left out. Included by the top-level
# CMakeLists.txt when the target is Windows.

set(OCUVANT_WIN_DEPS "" CACHE PATH "Prefix of the cross-built jsoncpp and hidapi")
if(NOT EXISTS "${OCUVANT_WIN_DEPS}/lib/libjsoncpp.a")
  message(FATAL_ERROR "OCUVANT_WIN_DEPS must name the prefix made by .ci/windows/build-deps")
endif()

# windows.h's min/max macros would break std::min in the files that include it.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# Everything links the C++ runtime statically: the modules import system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)
find_package(Threads REQUIRED)

add_library(ocuvant_win_jsoncpp INTERFACE)
target_include_directories(ocuvant_win_jsoncpp SYSTEM INTERFACE ${OCUVANT_WIN_DEPS}/include)
target_link_libraries(ocuvant_win_jsoncpp INTERFACE ${OCUVANT_WIN_DEPS}/lib/libjsoncpp.a)
add_library(ocuvant_win_hidapi INTERFACE)
target_include_directories(ocuvant_win_hidapi SYSTEM INTERFACE ${OCUVANT_WIN_DEPS}/include/hidapi)
target_link_libraries(ocuvant_win_hidapi INTERFACE ${OCUVANT_WIN_DEPS}/lib/libhidapi.a setupapi)

set(OCUVANT_LINUX_ONLY
  "/capture/v4l2_[a-z_]+\\.cpp$"
  "/platform/alsa_sound_sink\\.cpp$")

function(ocuvant_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  foreach(src ${srcs})
    if(src MATCHES "_win\\.cpp$")
      string(REGEX REPLACE "_win\\.cpp$" ".cpp" portable ${src})
      list(REMOVE_ITEM srcs ${portable})
    endif()
  endforeach()
  foreach(pattern ${OCUVANT_LINUX_ONLY})
    list(FILTER srcs EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

function(ocuvant_layer name dir)
  ocuvant_sources(srcs ${dir})
  add_library(${name}_objects OBJECT ${srcs})
  target_include_directories(${name}_objects PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name}_objects PUBLIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY OCUVANT_LAYER_OBJECTS $<TARGET_OBJECTS:${name}_objects>)
endfunction()

ocuvant_layer(ocuvant_platform platform Threads::Threads)
ocuvant_layer(ocuvant_engine_common engine/common)
ocuvant_layer(ocuvant_engine_smallbig engine/smallbig)
ocuvant_layer(ocuvant_engine_q5 engine/q5)
ocuvant_layer(ocuvant_support support)
ocuvant_layer(ocuvant_device device ocuvant_win_hidapi)
ocuvant_layer(ocuvant_capture capture ocuvant_win_jsoncpp)
ocuvant_layer(ocuvant_session session ocuvant_win_jsoncpp)
ocuvant_layer(ocuvant_control control ocuvant_win_jsoncpp)

include(cmake/embed_prompts.cmake)
ocuvant_embed_prompts(prompt_source)
add_library(ocuvant_prompts_objects OBJECT ${prompt_source})
target_include_directories(ocuvant_prompts_objects PRIVATE ${CMAKE_SOURCE_DIR})
set_property(GLOBAL APPEND PROPERTY OCUVANT_LAYER_OBJECTS $<TARGET_OBJECTS:ocuvant_prompts_objects>)

# One static library of every layer (the modules and test programs link it).
get_property(layer_objects GLOBAL PROPERTY OCUVANT_LAYER_OBJECTS)
add_library(ocuvant STATIC ${layer_objects})
target_include_directories(ocuvant PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(ocuvant PUBLIC Threads::Threads ocuvant_win_jsoncpp ocuvant_win_hidapi
  winmm ole32 oleaut32 uuid strmiids user32 gdi32)

# The simulator: renderer, virtual devices and the reference face library as a DLL.
ocuvant_sources(render_sources simulator/render)
add_library(ocuvant_render STATIC ${render_sources})
target_include_directories(ocuvant_render PUBLIC ${CMAKE_SOURCE_DIR})
ocuvant_sources(sim_sources simulator)
add_library(ocuvant_simulator STATIC ${sim_sources})
target_link_libraries(ocuvant_simulator PUBLIC ocuvant ocuvant_render)
add_library(travex_face_reference MODULE simulator/face/face_detector.cpp
            simulator/face/travex_face_exports.cpp)
target_include_directories(travex_face_reference PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(travex_face_reference PROPERTIES PREFIX "" OUTPUT_NAME "TravexFace(32bit)"
  SUFFIX ".dll" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The simulator's cameras as a DirectShow source filter DLL (regsvr32 registers them in
# the video input device category): ocuvant_vcam.dll (i686), ocuvant_vcam64.dll (x86_64).
set(vcam_name ocuvant_vcam)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(vcam_name ocuvant_vcam64)
endif()
add_library(ocuvant_vcam SHARED simulator/dshow/virtual_camera_filter_win.cpp
            simulator/dshow/virtual_camera_filter.def)
target_link_libraries(ocuvant_vcam PRIVATE ocuvant_simulator strmiids ole32 oleaut32 uuid)
set_target_properties(ocuvant_vcam PROPERTIES PREFIX "" OUTPUT_NAME ${vcam_name} SUFFIX ".dll"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_link_options(ocuvant_vcam PRIVATE -Wl,--enable-stdcall-fixup)
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(EXISTS ${CMAKE_SOURCE_DIR}/ocx/CMakeLists.txt)
  add_subdirectory(ocx)
endif()
add_subdirectory(tests/windows)

# The engines' benchmarks, to compare the same code under Wine with the Linux build
# (.ci/windows/bench-wine cross-builds Google Benchmark into OCUVANT_WIN_DEPS first).
option(OCUVANT_WIN_BENCH "Build bench_matcher and bench_engine_process" OFF)
if(OCUVANT_WIN_BENCH)
  foreach(name bench_matcher bench_engine_process)
    add_executable(${name} ${CMAKE_SOURCE_DIR}/bench/${name}.cpp)
    target_compile_definitions(${name} PRIVATE BENCHMARK_STATIC_DEFINE)
    target_include_directories(${name} SYSTEM PRIVATE ${OCUVANT_WIN_DEPS}/include)
    target_link_libraries(${name} PRIVATE ocuvant ocuvant_render
      ${OCUVANT_WIN_DEPS}/lib/libbenchmark_main.a ${OCUVANT_WIN_DEPS}/lib/libbenchmark.a shlwapi)
  endforeach()
endif()
