# The setup window and the Tarnwick program.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(pagesetup_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FieldValidator.cpp ${CMAKE_CURRENT_LIST_DIR}/FieldValidator.h
  ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.cpp ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.h
  ${CMAKE_CURRENT_LIST_DIR}/Pagefrm.cpp ${CMAKE_CURRENT_LIST_DIR}/Pagefrm.h
  ${CMAKE_CURRENT_LIST_DIR}/PagefrmAccessibility.cpp ${CMAKE_CURRENT_LIST_DIR}/PagefrmAccessibility.h
  ${CMAKE_CURRENT_LIST_DIR}/PagefrmUi.cpp ${CMAKE_CURRENT_LIST_DIR}/PagefrmUi.h
  ${CMAKE_CURRENT_LIST_DIR}/TwoRowTabAccessible.cpp ${CMAKE_CURRENT_LIST_DIR}/TwoRowTabAccessible.h
  ${CMAKE_CURRENT_LIST_DIR}/TwoRowTabWidget.cpp ${CMAKE_CURRENT_LIST_DIR}/TwoRowTabWidget.h
)
target_include_directories(pagesetup_window PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pagesetup_window PUBLIC
  pagesetup_download pagesetup_record serial common common_widgets Qt6::Widgets
)

# The installers' manual, one page per help topic number.
file(GLOB help_pages RELATIVE ${CMAKE_CURRENT_LIST_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/help/*.html)
qt_add_resources(pagesetup_window help
  PREFIX /
  BASE ${CMAKE_CURRENT_LIST_DIR}
  FILES ${help_pages}
)

add_executable(Tarnwick ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(Tarnwick PRIVATE pagesetup_window)
