# QUORVANTA_SANITIZE: "" (none), "address" (AddressSanitizer + UndefinedBehaviorSanitizer) or "thread".
set(QUORVANTA_SANITIZE "" CACHE STRING "Sanitizers for every target: '', 'address' or 'thread'")

if(QUORVANTA_SANITIZE STREQUAL "address")
  # Every check of UBSan but the dynamic-type one (vptr): that one instruments each member call,
  # downcast and typeid and takes about a third of the whole build's compile time, while the
  # freed or overrun objects that usually cause a wrong dynamic type are ASan's to catch.
  set(_san -fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(QUORVANTA_SANITIZE STREQUAL "thread")
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT QUORVANTA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUORVANTA_SANITIZE must be '', 'address' or 'thread', not '${QUORVANTA_SANITIZE}'")
endif()
if(_san)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()
if(QUORVANTA_SANITIZE STREQUAL "address")
  # ctest starts a test program once per test case, and the end-to-end tests start the tool many
  # times: linked position-dependent, an instrumented program has no million relative relocations
  # for the loader to apply at each start (a third less start-up time and memory). The objects
  # stay as they are, so ccache keeps serving them.
  add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
endif()
add_compile_options($<$<COMPILE_LANGUAGE:CXX,C>:-Wall> $<$<COMPILE_LANGUAGE:CXX,C>:-Wextra>)

# QV_FUZZ: build the harnesses under tests/fuzz as libFuzzer targets (clang only). Every target is
# then compiled with the fuzzer's coverage instrumentation, ASan and UBSan.
option(QV_FUZZ "Build tests/fuzz as libFuzzer targets (clang only)" OFF)
if(QV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QV_FUZZ needs clang: CC=clang CXX=clang++ cmake -DQV_FUZZ=ON ...")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
