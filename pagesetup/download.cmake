# Timed waits, download stream and station programming: plain code the window drives and
# the tests run on a scripted line and a virtual clock.
add_library(pagesetup_download STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DeadlineWake.cpp ${CMAKE_CURRENT_LIST_DIR}/DeadlineWake.h
  ${CMAKE_CURRENT_LIST_DIR}/DownloadStream.cpp ${CMAKE_CURRENT_LIST_DIR}/DownloadStream.h
  ${CMAKE_CURRENT_LIST_DIR}/SendView.h
  ${CMAKE_CURRENT_LIST_DIR}/StationProgrammer.cpp ${CMAKE_CURRENT_LIST_DIR}/StationProgrammer.h
  ${CMAKE_CURRENT_LIST_DIR}/TimedWaits.cpp ${CMAKE_CURRENT_LIST_DIR}/TimedWaits.h
  ${CMAKE_CURRENT_LIST_DIR}/Waits.h
)
target_include_directories(pagesetup_download PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pagesetup_download PUBLIC pagesetup_record serial common Qt6::Core)
