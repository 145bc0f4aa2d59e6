# Two precompiled headers shared by every target that builds with project_config: the common QtCore
# headers, and for targets that use widgets the common QtWidgets headers too. Sharing (REUSE_FROM) needs
# identical compile flags; project_config and the Qt targets give every target the same ones, and the Qt
# headers do not look at the module macros (QT_WIDGETS_LIB, ...) in which the targets differ.
option(CORVANE_PCH "Precompile the common Qt headers" ON)

set(_corvane_pch_source ${CMAKE_BINARY_DIR}/pch/empty.cpp)
file(CONFIGURE OUTPUT ${_corvane_pch_source} CONTENT "")

add_library(pch_core OBJECT ${_corvane_pch_source})
target_link_libraries(pch_core PRIVATE Qt6::Core project_config)
target_precompile_headers(pch_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pch/CoreHeaders.h)

add_library(pch_widgets OBJECT ${_corvane_pch_source})
target_link_libraries(pch_widgets PRIVATE Qt6::Widgets project_config)
target_precompile_headers(pch_widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pch/WidgetsHeaders.h)
set_target_properties(pch_core pch_widgets PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

# Whether the target compiles against the widget headers: it links Qt6::Widgets, or a library of ours
# whose public interface does.
function(_corvane_uses_widgets out target)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  set(seen "")
  while(libraries)
    list(POP_FRONT libraries library)
    if(library MATCHES "^\\$<LINK_ONLY:" OR library IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${library})
    if(library STREQUAL "Qt6::Widgets" OR library STREQUAL "Qt::Widgets")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
    if(TARGET ${library})
      get_target_property(imported ${library} IMPORTED)
      get_target_property(interface ${library} INTERFACE_LINK_LIBRARIES)
      if(NOT imported AND interface)
        list(APPEND libraries ${interface})
      endif()
    endif()
  endwhile()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

function(_corvane_targets out directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    _corvane_targets(more ${subdirectory})
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Called once every target exists.
function(corvane_precompile_qt_headers)
  if(NOT CORVANE_PCH)
    return()
  endif()
  _corvane_targets(targets ${CMAKE_SOURCE_DIR})
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    if(target MATCHES "^pch_" OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$"
       OR NOT "project_config" IN_LIST libraries)
      continue()
    endif()
    _corvane_uses_widgets(widgets ${target})
    if(widgets)
      target_precompile_headers(${target} REUSE_FROM pch_widgets)
    else()
      target_precompile_headers(${target} REUSE_FROM pch_core)
    endif()
    # A test includes its own moc output, which leaves the target's moc collection empty: loading the
    # header into it would cost more than compiling it.
    if(type STREQUAL "EXECUTABLE")
      get_target_property(binary_dir ${target} BINARY_DIR)
      set_source_files_properties(${binary_dir}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                  PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
  endforeach()
endfunction()
