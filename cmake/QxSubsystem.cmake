# The build helpers every subsystem folder calls.
#
# A folder's CMakeLists.txt builds its library (or its part of the core
# library) and its one test program, <folder>_tests, from tests/*.cpp. Every
# test program links the test kit, so test support shared by several
# folders lives in testkit/ and no folder reaches into another's tests/.

# qx_add_tests(LINK <libraries>...)
#
# Builds the calling folder's tests/*.cpp into <folder>_tests, linked with
# the given libraries, the test kit and GoogleTest, and registers its tests
# with CTest. Does nothing in a folder without tests.
function(qx_add_tests)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "LINK")
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests)
    add_executable(${folder}_tests ${tests})
    target_link_libraries(${folder}_tests PRIVATE ${arg_LINK} testkit GTest::gtest GTest::gtest_main)
    qx_register_tests(${folder}_tests)
  endif()
endfunction()

# qx_register_tests(<target> [ENVIRONMENT <variable>=<value>...])
#
# Registers a test program's tests with CTest, with the given environment.
# The plain build registers each test on its own, so that every test is
# shown to pass in a process of its own. The sanitizer builds register the
# program as one test, run whole: a sanitizer's runtime costs much to start
# and to end (the leak checker walks the heap at every exit), which a
# process per test pays a thousand times over, and a whole run shows as
# well that no test leans on what ran before it in the process. The
# thread-sanitizer build (QX_TSAN) takes only the programs whose sources
# start threads (see qx_starts_threads) and leaves every other out of its
# build: a program without threads shows that sanitizer nothing.
function(qx_register_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ENVIRONMENT")
  if(NOT QX_TSAN AND NOT QX_SANITIZE)
    if(arg_ENVIRONMENT)
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
    else()
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
    endif()
    return()
  endif()
  if(QX_TSAN)
    qx_starts_threads(threads ${target})
    if(NOT threads)
      set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL TRUE)
      return()
    endif()
    set_property(GLOBAL APPEND PROPERTY QX_THREAD_TESTS ${target})
  endif()
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(arg_ENVIRONMENT)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
  endif()
endfunction()

# qx_starts_threads(<variable> <target>)
#
# Sets <variable> to TRUE when a source of <target> starts a thread. The
# sources read become dependencies of the configuration, so that a test
# that starts the first thread of its program brings the program into the
# build when it is saved.
function(qx_starts_threads variable target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
  set(found FALSE)
  foreach(source ${sources})
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${dir})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(STRINGS ${path} starts REGEX "std::j?thread[^:a-z_]|std::async|pthread_create" LIMIT_COUNT 1)
    if(starts)
      set(found TRUE)
      break()
    endif()
  endforeach()
  set(${variable} ${found} PARENT_SCOPE)
endfunction()

# qx_kernel_unit(<target>)
#
# Makes an OBJECT library a build unit of the kernel driver: compiled with
# the one definition that picks the kernel's means (RW_KERNEL_BUILD), with
# -fcheck-new because the driver's operator new answers null instead of
# throwing, and with hidden visibility so that nothing but the driver's
# entry points leaves the driver. The unit is listed in the global property
# QX_KERNEL_UNITS, from which kernel/ links the driver and its tests: object
# libraries do not pass their object files on to their users' users.
function(qx_kernel_unit target)
  target_compile_definitions(${target} PUBLIC RW_KERNEL_BUILD)
  target_compile_options(${target} PUBLIC -fcheck-new)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  set_property(GLOBAL APPEND PROPERTY QX_KERNEL_UNITS ${target})
endfunction()

# drvcore_add_subsystem()
#
# For a folder of the core library (core/ device/ graphics/ journal/ pdl/):
# builds the folder's *.cpp into its build unit, the OBJECT library
# <folder>_objects, puts that unit's object files into drvcore, and builds
# the folder's tests against drvcore. The same sources are built a second
# time into <folder>_kobjects, the folder's unit of the kernel driver, over
# the foundation's kernel build (see qx_kernel_unit). A folder that needs more for one build adds it to that
# unit after this call.
function(drvcore_add_subsystem)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${folder}_objects OBJECT ${sources})
  target_include_directories(${folder}_objects PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${folder}_objects PUBLIC rwfound ZLIB::ZLIB)
  # Object files, not an archive: the linker keeps every one of them, and
  # with them every class registration made in a static initialiser.
  target_link_libraries(drvcore PRIVATE ${folder}_objects)
  qx_add_tests(LINK drvcore testkit_core)

  if(QX_KERNEL)
    add_library(${folder}_kobjects OBJECT ${sources})
    target_include_directories(${folder}_kobjects PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${folder}_kobjects PUBLIC rwfound_kernel ZLIB::ZLIB)
    qx_kernel_unit(${folder}_kobjects)
  endif()
endfunction()

# qx_path_definitions(<target> FILES <source>... DEFINITIONS <name>=<path>...)
#
# Gives the named sources of <target>, and no others, definitions that
# spell an absolute path: a library a test loads, a program it runs, a
# folder of the source tree it reads. Such a path differs from one clone to
# the next, and every compile line that holds one misses the compiler cache
# in a fresh clone, however warm the cache is; kept to the few sources that
# read them, a fresh clone compiles those few again and takes the rest from
# the cache. Called from the folder that makes <target>.
function(qx_path_definitions target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "FILES;DEFINITIONS")
  if(NOT arg_FILES OR NOT arg_DEFINITIONS)
    message(FATAL_ERROR "qx_path_definitions(${target}): FILES and DEFINITIONS are both needed")
  endif()
  get_target_property(sources ${target} SOURCES)
  foreach(file ${arg_FILES})
    get_filename_component(path ${file} ABSOLUTE)
    if(NOT path IN_LIST sources AND NOT file IN_LIST sources)
      message(FATAL_ERROR "qx_path_definitions(${target}): ${file} is not one of its sources")
    endif()
  endforeach()
  set_property(SOURCE ${arg_FILES} APPEND PROPERTY COMPILE_DEFINITIONS ${arg_DEFINITIONS})
endfunction()
