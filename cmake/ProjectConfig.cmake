# One INTERFACE target carries the language standard, the warnings and the Qt safety macros.
add_library(project_config INTERFACE)
target_compile_features(project_config INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(project_config INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<BOOL:${CORVANE_WERROR}>:-Werror>)

target_compile_definitions(project_config INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_FORCE_ASSERTS
  _GLIBCXX_ASSERTIONS)

if(CORVANE_SANITIZE)
  set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  # Line tables are all a sanitizer's report needs, and -O1 is the optimisation the sanitizers are made for:
  # both keep the test build short (-O2 and full debug information cost a third more compile time).
  target_compile_options(project_config INTERFACE ${sanitizers} -g1 -O1)
  target_link_options(project_config INTERFACE ${sanitizers})
endif()
