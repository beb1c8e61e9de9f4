# `make package`: a Debian package a station can install. The connector keeps
# its settings files, journal and day log beside its executable, so the
# programs go to a directory of their own that the station's operators may
# write: /opt/concentrador-tarnex, group "tarnex" (see postinst).
set(TARNEX_DIRETORIO /opt/concentrador-tarnex)

install(TARGETS ConcentradorTarnex FcmMasterX fcmsim criaposto RUNTIME DESTINATION ${TARNEX_DIRETORIO})
install(FILES ${PROJECT_SOURCE_DIR}/station/esquema.sql ${PROJECT_SOURCE_DIR}/station/posto_demo.sql
        DESTINATION share/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/concentrador-tarnex.desktop DESTINATION share/applications)
# Off by default: the installer copies it into the operator account's
# ~/.config/autostart to start the connector with that account's session
# (the installer's guide says how).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/concentrador-tarnex-partida.desktop
        DESTINATION share/concentrador-tarnex RENAME partida-automatica.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/guia-do-operador.md
              ${PROJECT_SOURCE_DIR}/docs/guia-do-instalador.md
        DESTINATION share/doc/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/simulator/README.md DESTINATION share/doc/concentrador-tarnex
        RENAME protocolo-do-componente.md)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/imagens DESTINATION share/doc/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/concentrador-tarnex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME concentrador-tarnex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Equipe do Concentrador Tarnex <tarnex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Conector entre os concentradores de bombas e o banco Firebird do posto")
set(CPACK_PACKAGE_DESCRIPTION
    "Cada abastecimento informado por uma bomba vira uma linha da tabela mvabast;\ncada estado de bico vai para a tabela bombas. Inclui o servidor do componente\nFcmMasterX, o simulador fcmsim e criaposto, que prepara um banco de posto.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link (Qt 6, the Firebird client) come from
# dpkg-shlibdeps; the embedded engine is loaded at run time as a plugin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libfbclient2, firebird3.0-server-core, adduser")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-utils, xvfb")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
