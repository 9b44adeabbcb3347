# Run at build time: puts one artifact of the group com.brel.vorlend.ib into the Maven
# repository REPOSITORY, in Maven's layout, replacing what was there: the jar JAR, the
# -sources and -javadoc jars beside it, the POM POM, a maven-metadata.xml, and the .sha1
# and .md5 of each file, which Maven checks as it downloads.
#   cmake -DREPOSITORY=... -DARTIFACT=... -DVERSION=... -DPOM=... -DJAR=... -P JXelMavenArtifact.cmake
set(folder ${REPOSITORY}/com/brel/vorlend/ib/${ARTIFACT})
file(REMOVE_RECURSE ${folder})
set(base ${folder}/${VERSION}/${ARTIFACT}-${VERSION})
file(MAKE_DIRECTORY ${folder}/${VERSION})
get_filename_component(jars ${JAR} DIRECTORY)
file(COPY_FILE ${JAR} ${base}.jar)
file(COPY_FILE ${jars}/${ARTIFACT}-sources.jar ${base}-sources.jar)
file(COPY_FILE ${jars}/${ARTIFACT}-javadoc.jar ${base}-javadoc.jar)
file(COPY_FILE ${POM} ${base}.pom)
# With SOURCE_DATE_EPOCH set, the time comes from it.
string(TIMESTAMP updated "%Y%m%d%H%M%S" UTC)
file(WRITE ${folder}/maven-metadata.xml [[<?xml version="1.0" encoding="UTF-8"?>
<metadata>
  <groupId>com.brel.vorlend.ib</groupId>
  <artifactId>]] ${ARTIFACT} [[</artifactId>
  <versioning>
    <latest>]] ${VERSION} [[</latest>
    <release>]] ${VERSION} [[</release>
    <versions>
      <version>]] ${VERSION} [[</version>
    </versions>
    <lastUpdated>]] ${updated} [[</lastUpdated>
  </versioning>
</metadata>
]])
foreach(file ${folder}/maven-metadata.xml ${base}.pom ${base}.jar ${base}-sources.jar
             ${base}-javadoc.jar)
  foreach(algorithm SHA1 MD5)
    file(${algorithm} ${file} sum)
    string(TOLOWER ${algorithm} extension)
    file(WRITE ${file}.${extension} ${sum})
  endforeach()
endforeach()
