# bash completion for feedwright
_feedwright() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    --batch) COMPREPLY=($(compgen -f -- "$cur")); compopt -o filenames; return ;;
    --out) COMPREPLY=($(compgen -d -- "$cur")); compopt -o filenames; return ;;
    --format) COMPREPLY=($(compgen -W "text html markdown json" -- "$cur")); return ;;
    --jobs|--timeout|--max-rows|--archive-pages|--name|--enclosure-max-bytes) return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "--batch --out --list --jobs --timeout --max-rows --format --name
      --archive --archive-pages --no-cache --quiet --only-new --catch-up --enclosures --enclosure-max-bytes
      --help --version" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames
  fi
}
complete -F _feedwright feedwright
