# Sourced: make_sample_handheld DIR HANDHELD... makes a sample handheld in DIR
# from samples/memos.txt, enciphered with the sample password, through the
# handheld tool given as the remaining words (a native program, or a Windows
# one behind wine).
make_sample_handheld() {
  local dir=$1; shift
  local password category="" text=""
  password="$(cat samples/password.txt)"
  declare -A index=([0]=0)
  "$@" "$dir" create --password "$password" --hint "鍵の木 (the key tree)" >/dev/null
  add_memo() {
    [ -n "$category" ] || return 0
    if [ -z "${index[$category]+x}" ]; then
      index[$category]="$("$@" "$dir" category add "$category" | tr -d '\r')"
    fi
    printf '%s' "$text" | "$@" "$dir" add --password "$password" --category "${index[$category]}" >/dev/null
  }
  while IFS= read -r line || [ -n "$line" ]; do
    if [[ "$line" == "Category: "* ]]; then
      add_memo "$@"
      category="${line#Category: }" text=""
    else
      text="${text:+$text$'\n'}$line"
    fi
  done < samples/memos.txt
  add_memo "$@"
}
