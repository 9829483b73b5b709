# What `cmake --install` puts in place: the two programs and their manual
# pages, the library, its public headers under include/corvina, a CMake
# package (find_package(corvina) gives corvina::corvina) and corvina.pc.
include(CMakePackageConfigHelpers)

# The API: the document and the library object, values, streams, typed
# structures, exceptions, and the headers these include. Readers' buffers,
# read-ahead, the writer and the security handler's internals stay out; the
# install test builds the example against this set alone.
set(CORVINA_PUBLIC_HEADERS
    pdf/file/CPDFBody.h
    pdf/file/CPDFDoc.h
    pdf/file/CPDFDocStructure.h
    pdf/file/CPDFFileStruct.h
    pdf/file/CPDFHeader.h
    pdf/file/CPDFHintStream.h
    pdf/file/CPDFLib.h
    pdf/file/CPDFLineaParams.h
    pdf/file/CPDFObjStmCache.h
    pdf/file/CPDFTrailer.h
    pdf/file/CPDFXRef.h
    pdf/file/DocSaveAccess.h
    pdf/file/XRefEntry.h
    pdf/io/CorvinaApi.h
    pdf/io/FileInStream.h
    pdf/io/FileMap.h
    pdf/io/FileOutStream.h
    pdf/io/InStream.h
    pdf/io/Limits.h
    pdf/io/MemInStream.h
    pdf/io/MemOutStream.h
    pdf/io/OutStream.h
    pdf/io/TempName.h
    pdf/io/Version.h
    pdf/object/CPDFArray.h
    pdf/object/CPDFAtom.h
    pdf/object/CPDFBool.h
    pdf/object/CPDFDataStruct.h
    pdf/object/CPDFDict.h
    pdf/object/CPDFDocStruct.h
    pdf/object/CPDFException.h
    pdf/object/CPDFInt.h
    pdf/object/CPDFName.h
    pdf/object/CPDFNull.h
    pdf/object/CPDFNumber.h
    pdf/object/CPDFObjHolder.h
    pdf/object/CPDFObjRef.h
    pdf/object/CPDFObject.h
    pdf/object/CPDFReal.h
    pdf/object/CPDFString.h
    pdf/object/CPDFText.h
    pdf/object/DepthGuard.h
    pdf/object/Factors.h
    pdf/object/NumberText.h
    pdf/object/SmallBlockPool.h
    pdf/object/StructBase.h
    pdf/object/TempArray.h
    pdf/object/TempDict.h
    pdf/object/TempHugeString.h
    pdf/object/TempString.h
    pdf/stream/CPDFStream.h
    pdf/stream/FilterCall.h
    pdf/structure/CPDFCatalog.h
    pdf/structure/CPDFDate.h
    pdf/structure/CPDFDestination.h
    pdf/structure/CPDFInfoDict.h
    pdf/structure/CPDFLinkPoint.h
    pdf/structure/CPDFNameDict.h
    pdf/structure/CPDFNameTreeNode.h
    pdf/structure/CPDFNumTreeNode.h
    pdf/structure/CPDFPage.h
    pdf/structure/CPDFPageLabelDict.h
    pdf/structure/CPDFPages.h
    pdf/structure/CPDFViewPref.h
    pdf/structure/StructType.h
    pdf/structure/TypedLoad.h
    pdf/structure/minimal/CPDFAcroFormDict.h
    pdf/structure/minimal/CPDFAction.h
    pdf/structure/minimal/CPDFAddActDict.h
    pdf/structure/minimal/CPDFAnnot.h
    pdf/structure/minimal/CPDFAppearDict.h
    pdf/structure/minimal/CPDFJavaScriptAct.h
    pdf/structure/minimal/CPDFMinimal.h
    pdf/structure/minimal/CPDFOutlines.h
    pdf/structure/minimal/CPDFPieceInfoDict.h
    pdf/structure/minimal/CPDFRect.h
    pdf/structure/minimal/CPDFResDict.h
    pdf/structure/minimal/CPDFSepInfoDict.h
    pdf/structure/minimal/CPDFThread.h
    pdf/structure/minimal/CPDFThumbnail.h
    pdf/structure/minimal/CPDFTrans.h
    pdf/structure/minimal/CPDFURIDict.h
)
foreach(header IN LISTS CORVINA_PUBLIC_HEADERS)
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvina/${dir}
          COMPONENT corvina_development)
endforeach()

install(TARGETS linkpoint corvina-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES doc/linkpoint.1 doc/corvina-probe.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS corvina EXPORT corvinaTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT corvina_development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvina)

set(CORVINA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/corvina)
install(EXPORT corvinaTargets NAMESPACE corvina:: DESTINATION ${CORVINA_CMAKE_DIR})
# A static library brings its dependencies along for the caller's link.
if(BUILD_SHARED_LIBS)
  set(CORVINA_STATIC 0)
else()
  set(CORVINA_STATIC 1)
endif()
configure_package_config_file(cmake/corvinaConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/corvinaConfig.cmake
                              INSTALL_DESTINATION ${CORVINA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/corvinaConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/corvinaConfig.cmake ${CMAKE_BINARY_DIR}/corvinaConfigVersion.cmake
        DESTINATION ${CORVINA_CMAKE_DIR})

# corvina.pc: the private dependencies count only for a static link. The
# prefix is found from where the file lies, so `cmake --install --prefix`
# anywhere gives a working file.
file(RELATIVE_PATH CORVINA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/corvina.pc.in ${CMAKE_BINARY_DIR}/corvina.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/corvina.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
