<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>lirotag::CalibrationDialog</name>
    <message>
        <source>校准按键延迟</source>
        <translation>Calibrate the key delay</translation>
    </message>
    <message>
        <source>单击“开始”后会响起 %1 下节拍声（每分钟 %2 拍）。
请在听到每一下时按一次空格键，像给歌词加时间一样。
测出的是从听到到按下的时间，加时间标签时将减去它。</source>
        <translation>After you click &quot;Start&quot;, %1 beats sound (%2 beats per minute).
Press the space bar once at each beat, as when timing lyrics.
This measures the time from hearing to pressing; it is taken off every time tag you add.</translation>
    </message>
    <message>
        <source>尚未测量</source>
        <translation>Not measured yet</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>使用此值</source>
        <translation>Use this value</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>无法播放节拍声。</source>
        <translation>The beats cannot be played.</translation>
    </message>
    <message>
        <source>请在每一下节拍声响起时按空格键……</source>
        <translation>Press the space bar at each beat…</translation>
    </message>
    <message>
        <source>已按 0 次</source>
        <translation>Pressed 0 times</translation>
    </message>
    <message>
        <source>已按 %1 次</source>
        <translation>Pressed %1 times</translation>
    </message>
    <message>
        <source>再测一次</source>
        <translation>Measure again</translation>
    </message>
    <message>
        <source>只有 %1 次按键对上了节拍声（共 %2 下），无法得出结果。请再测一次。</source>
        <translation>Only %1 key presses matched the beats (of %2), which is not enough for a result. Please measure again.</translation>
    </message>
    <message>
        <source>按键延迟（中位数）：%1 毫秒，波动 ±%2 毫秒（%3 下中对上 %4 下）</source>
        <translation>Key delay (median): %1 ms, spread ±%2 ms (%4 of %3 beats matched)</translation>
    </message>
    <message>
        <source>使用此值（%1 毫秒）</source>
        <translation>Use this value (%1 ms)</translation>
    </message>
</context>
<context>
    <name>lirotag::Core</name>
    <message>
        <source>所有支持的类型</source>
        <translation>All supported types</translation>
    </message>
    <message>
        <source>基本</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>MOD音乐</source>
        <translation>Module music</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>LRC歌词</source>
        <translation>LRC lyrics</translation>
    </message>
    <message>
        <source>SRT 字幕</source>
        <translation>SRT subtitles</translation>
    </message>
    <message>
        <source>WebVTT 字幕</source>
        <translation>WebVTT subtitles</translation>
    </message>
    <message>
        <source>ASS 卡拉OK字幕</source>
        <translation>ASS karaoke subtitles</translation>
    </message>
    <message>
        <source>TTML 歌词</source>
        <translation>TTML lyrics</translation>
    </message>
    <message>
        <source>歌词或文本文件（LRC/TXT）</source>
        <translation>Lyrics or text files (LRC/TXT)</translation>
    </message>
    <message>
        <source>字幕文件（SRT/VTT/ASS/TTML）</source>
        <translation>Subtitle files (SRT/VTT/ASS/TTML)</translation>
    </message>
    <message>
        <source>GBK（简体中文）</source>
        <translation>GBK (Simplified Chinese)</translation>
    </message>
    <message>
        <source>Big5（繁体中文）</source>
        <translation>Big5 (Traditional Chinese)</translation>
    </message>
    <message>
        <source>Big5-HKSCS（繁体中文，香港）</source>
        <translation>Big5-HKSCS (Traditional Chinese, Hong Kong)</translation>
    </message>
    <message>
        <source>Shift_JIS（日文）</source>
        <translation>Shift_JIS (Japanese)</translation>
    </message>
    <message>
        <source>EUC-JP（日文）</source>
        <translation>EUC-JP (Japanese)</translation>
    </message>
    <message>
        <source>ISO-2022-JP（日文）</source>
        <translation>ISO-2022-JP (Japanese)</translation>
    </message>
    <message>
        <source>EUC-KR（韩文）</source>
        <translation>EUC-KR (Korean)</translation>
    </message>
    <message>
        <source>windows-1252（西欧）</source>
        <translation>windows-1252 (Western European)</translation>
    </message>
    <message>
        <source>ISO-8859-1（西欧）</source>
        <translation>ISO-8859-1 (Western European)</translation>
    </message>
    <message>
        <source>ISO-8859-15（西欧）</source>
        <translation>ISO-8859-15 (Western European)</translation>
    </message>
    <message>
        <source>windows-1250（中欧）</source>
        <translation>windows-1250 (Central European)</translation>
    </message>
    <message>
        <source>ISO-8859-2（中欧）</source>
        <translation>ISO-8859-2 (Central European)</translation>
    </message>
    <message>
        <source>windows-1251（西里尔文）</source>
        <translation>windows-1251 (Cyrillic)</translation>
    </message>
    <message>
        <source>KOI8-R（俄文）</source>
        <translation>KOI8-R (Russian)</translation>
    </message>
    <message>
        <source>KOI8-U（乌克兰文）</source>
        <translation>KOI8-U (Ukrainian)</translation>
    </message>
    <message>
        <source>ISO-8859-5（西里尔文）</source>
        <translation>ISO-8859-5 (Cyrillic)</translation>
    </message>
    <message>
        <source>windows-1253（希腊文）</source>
        <translation>windows-1253 (Greek)</translation>
    </message>
    <message>
        <source>ISO-8859-7（希腊文）</source>
        <translation>ISO-8859-7 (Greek)</translation>
    </message>
    <message>
        <source>windows-1254（土耳其文）</source>
        <translation>windows-1254 (Turkish)</translation>
    </message>
    <message>
        <source>ISO-8859-9（土耳其文）</source>
        <translation>ISO-8859-9 (Turkish)</translation>
    </message>
    <message>
        <source>windows-1257（波罗的海）</source>
        <translation>windows-1257 (Baltic)</translation>
    </message>
    <message>
        <source>ISO-8859-13（波罗的海）</source>
        <translation>ISO-8859-13 (Baltic)</translation>
    </message>
    <message>
        <source>文件不存在。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>这不是一个文件。</source>
        <translation>This is not a file.</translation>
    </message>
    <message>
        <source>没有读取这个文件的权限。</source>
        <translation>No permission to read this file.</translation>
    </message>
    <message>
        <source>文件已损坏，或者内容与扩展名不符。</source>
        <translation>The file is damaged, or its content does not match its extension.</translation>
    </message>
    <message>
        <source>不支持这种文件格式。</source>
        <translation>This file format is not supported.</translation>
    </message>
</context>
<context>
    <name>lirotag::Editing</name>
    <message>
        <source>整合偏移值</source>
        <translation>Apply offset</translation>
    </message>
    <message>
        <source>“%1”不是可用的偏移值：偏移值是毫秒数，且在正负 24 小时以内。歌词没有改动。</source>
        <translation>&quot;%1&quot; is not a usable offset: an offset is a number of milliseconds within 24 hours either way. The lyrics were not changed.</translation>
    </message>
    <message>
        <source>逐字模式(&amp;W)</source>
        <translation>&amp;Word by word</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>请先打开歌曲</source>
        <translation>Please open a song first.</translation>
    </message>
</context>
<context>
    <name>lirotag::InfoWindow</name>
    <message>
        <source>附加信息</source>
        <translation>Tags</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Tags</translation>
    </message>
    <message>
        <source>读取歌曲TAG</source>
        <translation>Read tags</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>出错</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>你没有打开音乐文件</source>
        <translation>No song is open.</translation>
    </message>
    <message>
        <source>文件%1不存在</source>
        <translation>The file %1 does not exist.</translation>
    </message>
    <message>
        <source>读取失败</source>
        <translation>Cannot read tags</translation>
    </message>
    <message>
        <source>还不支持读取(.%1)类型文件的标签</source>
        <translation>Reading tags from .%1 files is not supported yet.</translation>
    </message>
</context>
<context>
    <name>lirotag::LineReplay</name>
    <message>
        <source>重听本行</source>
        <translation>Replay this line</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>请先打开歌曲</source>
        <translation>Please open a song first.</translation>
    </message>
    <message>
        <source>第 %1 行没有时间标签，无法重听。</source>
        <translation>Line %1 has no time tag, so it cannot be replayed.</translation>
    </message>
</context>
<context>
    <name>lirotag::LrclibOutcome</name>
    <message>
        <source>歌词库里没有这首歌的歌词。</source>
        <translation>The lyrics library has no lyrics for this song.</translation>
    </message>
    <message>
        <source>无法连接歌词服务器，请检查网络连接和设置中的服务器地址。
（%1）</source>
        <translation>Cannot reach the lyrics server. Please check the network connection and the server address in the settings.
(%1)</translation>
    </message>
    <message>
        <source>歌词服务器在 10 秒内没有回应，请稍后再试。</source>
        <translation>The lyrics server did not answer within 10 seconds. Please try again later.</translation>
    </message>
    <message>
        <source>歌词服务器出错（HTTP %1），请稍后再试。</source>
        <translation>The lyrics server reported an error (HTTP %1). Please try again later.</translation>
    </message>
    <message>
        <source>歌词服务器拒绝了请求：%1</source>
        <translation>The lyrics server refused the request: %1</translation>
    </message>
    <message>
        <source>收到的回应不是歌词服务器的数据（可能是网页或网络登录页面），请检查网络和服务器地址。</source>
        <translation>The answer did not come from a lyrics server (perhaps a web page or a network login page). Please check the network and the server address.</translation>
    </message>
    <message>
        <source>歌词服务器发来的验证题无法识别，无法发布。</source>
        <translation>The lyrics server sent a challenge that cannot be understood; the lyrics cannot be published.</translation>
    </message>
    <message>
        <source>已取消。</source>
        <translation>Cancelled.</translation>
    </message>
</context>
<context>
    <name>lirotag::LyricFiles</name>
    <message>
        <source>导出字幕(&amp;E)…</source>
        <translation>&amp;Export subtitles…</translation>
    </message>
    <message>
        <source>把带时间标签的歌词存为字幕文件（SRT、WebVTT、ASS、TTML），歌词本身不变 (Ctrl+Shift+E)</source>
        <translation>Save the timed lyrics as a subtitle file (SRT, WebVTT, ASS, TTML); the lyrics themselves stay as they are (Ctrl+Shift+E)</translation>
    </message>
    <message>
        <source>导出字幕</source>
        <translation>Export subtitles</translation>
    </message>
    <message>
        <source>载入歌词文本</source>
        <translation>Load lyrics</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>打开文件
%1
时发生错误。</source>
        <translation>An error occurred while opening the file
%1</translation>
    </message>
    <message>
        <source>写出文件
%1
时发生错误。</source>
        <translation>An error occurred while writing the file
%1</translation>
    </message>
    <message>
        <source> 等 %1 个字符</source>
        <translation> and more, %1 characters in all</translation>
    </message>
    <message>
        <source>歌词中有 GBK 编码容纳不下的字符：

%1

按 GBK 保存，它们会写成 GB18030 的四字节编码，只认 GBK 的播放器读不出来。
改用 UTF-8 或 UTF-16 保存吗？</source>
        <translation>The lyrics contain characters that GBK cannot hold:

%1

Saved as GBK, they are written as four-byte GB18030 codes, which players that only know GBK cannot read.
Save as UTF-8 or UTF-16 instead?</translation>
    </message>
    <message>
        <source>保存歌词</source>
        <translation>Save lyrics</translation>
    </message>
    <message>
        <source>改存 UTF-8</source>
        <translation>Save as UTF-8</translation>
    </message>
    <message>
        <source>改存 UTF-16</source>
        <translation>Save as UTF-16</translation>
    </message>
    <message>
        <source>仍存 GBK</source>
        <translation>Keep GBK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>lirotag::LyricSearchDialog</name>
    <message>
        <source>在线查找歌词</source>
        <translation>Find lyrics online</translation>
    </message>
    <message>
        <source>歌名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌手</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>搜索(&amp;S)</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>专辑</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>歌词</source>
        <translation>Lyrics</translation>
    </message>
    <message>
        <source>选中一项，在这里预览歌词</source>
        <translation>Select a result to preview its lyrics here</translation>
    </message>
    <message>
        <source>载入到歌词框(&amp;L)</source>
        <translation>&amp;Load into the lyrics box</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>请填写歌名再搜索。</source>
        <translation>Please enter a title to search for.</translation>
    </message>
    <message>
        <source>正在搜索……</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>同步</source>
        <translation>Synced</translation>
    </message>
    <message>
        <source>纯文本</source>
        <translation>Plain text</translation>
    </message>
    <message>
        <source>纯音乐</source>
        <translation>Instrumental</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>与打开的歌曲长度（%1）不同</source>
        <translation>Differs from the length of the open song (%1)</translation>
    </message>
    <message>
        <source>没有找到歌词。可以改一改歌名或歌手再搜索。</source>
        <translation>No lyrics found. Try changing the title or the artist and search again.</translation>
    </message>
    <message>
        <source>找到 %1 项。选中一项预览，双击或按“载入到歌词框”载入。</source>
        <translation>Found %1. Select one to preview it; double-click it or press &quot;Load into the lyrics box&quot; to load it.</translation>
    </message>
</context>
<context>
    <name>lirotag::MainWindow</name>
    <message>
        <source>是否要退出？<byte value="xd"/>
请确认单击过“保存歌词”按钮，并成功保存了文件。<byte value="xd"/>
（可以在设置中关闭此提示）</source>
        <translation>Quit?
Make sure you clicked &quot;Save lyrics&quot; and the file was saved.
(This question can be turned off in the settings.)</translation>
    </message>
    <message>
        <source>选择一个音乐文件</source>
        <translation>Choose a song file</translation>
    </message>
    <message>
        <source>关闭打开的文件</source>
        <translation>Close the open song</translation>
    </message>
    <message>
        <source>控制播放进度</source>
        <translation>Playing position</translation>
    </message>
    <message>
        <source>从TXT文本或LRC歌词文件读入</source>
        <translation>Read from a TXT text or LRC lyrics file</translation>
    </message>
    <message>
        <source>设置LRC歌词的附加信息<byte value="xd"/>
[ti:] [ar:] [al:] [by:]</source>
        <translation>Set the tags of the LRC lyrics
[ti:] [ar:] [al:] [by:]</translation>
    </message>
    <message>
        <source>保存到.LRC文件</source>
        <translation>Save to an .LRC file</translation>
    </message>
    <message>
        <source>去除选中文本前，最左边的时间标签<byte value="xd"/>
例如：<byte value="xd"/>
“[33:44.55][00:11.22]Content”<byte value="xd"/>
处理后变成<byte value="xd"/>
“[00:11.22]Content”</source>
        <translation>Remove the leftmost time tag in front of the selected text
For example:
&quot;[33:44.55][00:11.22]Content&quot;
becomes
&quot;[00:11.22]Content&quot;</translation>
    </message>
    <message>
        <source>用当前时间替换选中文本前的所有时间标签<byte value="xd"/>
例如，当前播放到第1分05秒，那么<byte value="xd"/>
“[33:44.55][00:11.22]Content”<byte value="xd"/>
处理后变成<byte value="xd"/>
“[01:05.00]Content”</source>
        <translation>Replace all time tags in front of the selected text with the current time
For example, playing at 1:05,
&quot;[33:44.55][00:11.22]Content&quot;
becomes
&quot;[01:05.00]Content&quot;</translation>
    </message>
    <message>
        <source>把当前时间标签插入到选中文本前<byte value="xd"/>
例如，当前播放到第1分05秒，那么<byte value="xd"/>
“[33:44.55][00:11.22]Content”<byte value="xd"/>
处理后变成<byte value="xd"/>
“[01:05.00][33:44.55][00:11.22]Content”</source>
        <translation>Insert the current time as a tag in front of the selected text
For example, playing at 1:05,
&quot;[33:44.55][00:11.22]Content&quot;
becomes
&quot;[01:05.00][33:44.55][00:11.22]Content&quot;</translation>
    </message>
    <message>
        <source>若选中的文本含有多个时间标签，则把它们拆分开<byte value="xd"/>
例如：<byte value="xd"/>
“[33:44.55][00:11.22]Content”<byte value="xd"/>
处理后变成：<byte value="xd"/>
“[33:44.55]Content<byte value="xd"/>
[00:11.22]Content”</source>
        <translation>Split lines of the selected text that carry several time tags
For example:
&quot;[33:44.55][00:11.22]Content&quot;
becomes:
&quot;[33:44.55]Content
[00:11.22]Content&quot;</translation>
    </message>
    <message>
        <source>对选中的文本中，带有时间标签的部分进行排序（不会自动拆分）</source>
        <translation>Sort the time-tagged lines of the selected text (without splitting them)</translation>
    </message>
    <message>
        <source>如果选中的歌词带有时间标签，则令播放器跳转到此处<byte value="xd"/>
若选中多行，只考虑第一行<byte value="xd"/>
若此行有多个时间标签，则轮流在多处循环跳转<byte value="xd"/>
例如，选中<byte value="xd"/>
“[33:44.55][00:11.22]Content”<byte value="xd"/>
第一次按下时，跳转到33分44秒处，第二次按下时，跳转到11秒处</source>
        <translation>Jump to the time tag of the selected line
With several lines selected, the first one counts
A line with several time tags jumps to each in turn
For example, with
&quot;[33:44.55][00:11.22]Content&quot;
selected, the first click jumps to 33:44, the second to 0:11</translation>
    </message>
    <message>
        <source>处理歌词中的“[offset:]”标记，把它的值累加到每个时间标签<byte value="xd"/>
例如：<byte value="xd"/>
“[offset:1000]<byte value="xd"/>
[33:44.55][00:11.22]Content”<byte value="xd"/>
处理后变成<byte value="xd"/>
“[33:45.55][00:12.22]Content”</source>
        <translation>Apply the lyrics&apos; &quot;[offset:]&quot; tag, adding its value to every time tag
For example:
&quot;[offset:1000]
[33:44.55][00:11.22]Content&quot;
becomes
&quot;[33:45.55][00:12.22]Content&quot;</translation>
    </message>
    <message>
        <source>删除全部空行</source>
        <translation>Delete all blank lines</translation>
    </message>
    <message>
        <source>与“拆分标签”相反，折叠相同文本可以减小导出歌词的文件尺寸<byte value="xd"/>
例如：<byte value="xd"/>
“[33:44.55]Content<byte value="xd"/>
[00:11.22]Content”<byte value="xd"/>
处理后变成<byte value="xd"/>
“[33:44.55][00:11.22]Content”</source>
        <translation>The opposite of &quot;Split tags&quot;: merging lines of the same text makes the saved lyrics smaller
For example:
&quot;[33:44.55]Content
[00:11.22]Content&quot;
becomes
&quot;[33:44.55][00:11.22]Content&quot;</translation>
    </message>
    <message>
        <source>歌曲控制</source>
        <translation>Song</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>( 播放暂停)</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>歌词</source>
        <translation>Lyrics</translation>
    </message>
    <message>
        <source>从文件载入</source>
        <translation>Load file</translation>
    </message>
    <message>
        <source>设置附加信息</source>
        <translation>Edit tags</translation>
    </message>
    <message>
        <source>保存歌词</source>
        <translation>Save lyrics</translation>
    </message>
    <message>
        <source>对选中部分</source>
        <translation>Selection</translation>
    </message>
    <message>
        <source>删除标签(&amp;D)</source>
        <translation>&amp;Delete tag</translation>
    </message>
    <message>
        <source>替换标签(&amp;R)</source>
        <translation>&amp;Replace tag</translation>
    </message>
    <message>
        <source>加入标签(&amp;A)</source>
        <translation>&amp;Add tag</translation>
    </message>
    <message>
        <source>拆分标签</source>
        <translation>Split tags</translation>
    </message>
    <message>
        <source>按时间排序</source>
        <translation>Sort lines</translation>
    </message>
    <message>
        <source>跳到进度</source>
        <translation>Jump to tag</translation>
    </message>
    <message>
        <source>对全部</source>
        <translation>All lines</translation>
    </message>
    <message>
        <source>整合偏移值</source>
        <translation>Apply offset</translation>
    </message>
    <message>
        <source>删除空行</source>
        <translation>Cut blanks</translation>
    </message>
    <message>
        <source>折叠相同文本</source>
        <translation>Merge lines</translation>
    </message>
    <message>
        <source>当前时间</source>
        <translation>Current time</translation>
    </message>
    <message>
        <source>总时间</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Shortcuts</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>逐字模式</source>
        <translation>Word by word</translation>
    </message>
    <message>
        <source>逐字模式：开</source>
        <translation>Word by word: on</translation>
    </message>
    <message>
        <source>确认退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>关于 %1</source>
        <translation>About %1</translation>
    </message>
    <message>
        <source>歌词文件</source>
        <translation>Lyrics file</translation>
    </message>
    <message>
        <source>Alt +Ｄ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;删除标签<byte value="xd"/>
Alt +Ａ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;加入标签<byte value="xd"/>
Alt +Ｒ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;替换标签<byte value="xd"/>
Alt +↑&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;高亮行上移(*)<byte value="xd"/>
Alt +↓&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;高亮行下移(*)<byte value="xd"/>
Alt +←&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;快退5秒<byte value="xd"/>
Alt +→&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;快进5秒<byte value="xd"/>
Ctrl+↑&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;文本向上滚动<byte value="xd"/>
Ctrl+↓&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;文本向下滚动<byte value="xd"/>
Alt +Ｅ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;在文本框和按钮间切换焦点<byte value="xd"/>
Alt +Ｐ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;播放/暂停<byte value="xd"/>
<byte value="xd"/>
带(*)标志的仅在文本框失去焦点时生效<byte value="xd"/>
<byte value="xd"/>
Alt +－&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;减慢播放（音调不变）<byte value="xd"/>
Alt +＝&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;加快播放<byte value="xd"/>
Alt +０&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;恢复原速<byte value="xd"/>
Alt +Ｖ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;显示/隐藏波形<byte value="xd"/>
在当前时间上滚动鼠标滚轮可调节播放速度；<byte value="xd"/>
在波形上单击跳转，滚动滚轮缩放<byte value="xd"/>
Alt +Ｗ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;逐字模式：Alt+A 为下一个字加时间，<byte value="xd"/>
&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;Alt+D 撤回最后一个字，Alt+R 本行重来<byte value="xd"/>
Ctrl+Ｚ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;撤销（焦点在窗口内任何位置）<byte value="xd"/>
Ctrl+Ｙ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;重做（也可用 Ctrl+Shift+Z）<byte value="xd"/>
Ctrl+Ｓ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;保存歌词<byte value="xd"/>
Alt +Ｏ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;在线查找歌词<byte value="xd"/>
Alt +Ｕ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;发布歌词<byte value="xd"/>
Ctrl+Shift+Ｌ&#x3000;&#x3000;载入歌曲内嵌歌词<byte value="xd"/>
Ctrl+Shift+Ｗ&#x3000;&#x3000;写入歌曲<byte value="xd"/>
Ctrl+Shift+Ｅ&#x3000;&#x3000;导出字幕<byte value="xd"/>
Alt +［&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;高亮行的时间标签提前0.1秒(含逐字标签)<byte value="xd"/>
Alt +］&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;高亮行的时间标签推后0.1秒<byte value="xd"/>
Ctrl+Alt+［&#x3000;&#x3000;&#x3000;提前0.01秒<byte value="xd"/>
Ctrl+Alt+］&#x3000;&#x3000;&#x3000;推后0.01秒<byte value="xd"/>
Alt +Ｌ&#x3000;&#x3000;&#x3000;&#x3000;&#x3000;重听高亮行（播放到下一行的时间后暂停）<byte value="xd"/>
在波形上悬停标记显示该行歌词，拖动标记可移动该行的时间</source>
        <translation>Alt+D           Delete tag
Alt+A           Add tag
Alt+R           Replace tag
Alt+Up          Highlight up (*)
Alt+Down        Highlight down (*)
Alt+Left        Back 5 seconds
Alt+Right       Forward 5 seconds
Ctrl+Up         Scroll the text up
Ctrl+Down       Scroll the text down
Alt+E           Focus to the text box or the buttons
Alt+P           Play/Pause

(*) only while the text box does not have the focus

Alt+-           Slower (same pitch)
Alt+=           Faster
Alt+0           Normal speed
Alt+V           Show/hide the waveform
Mouse wheel over the current time: change the speed;
click the waveform to jump, turn the wheel on it to zoom
Alt+W           Word by word: Alt+A times the next word,
                Alt+D takes back the last one,
                Alt+R restarts the line
Ctrl+Z          Undo (wherever the focus is in the window)
Ctrl+Y          Redo (also Ctrl+Shift+Z)
Ctrl+S          Save lyrics
Alt+O           Find lyrics online
Alt+U           Publish lyrics
Ctrl+Shift+L    Load the lyrics in the song
Ctrl+Shift+W    Write the lyrics into the song
Ctrl+Shift+E    Export subtitles
Alt+[           Highlighted line&apos;s tags 0.1 s earlier (word tags too)
Alt+]           Highlighted line&apos;s tags 0.1 s later
Ctrl+Alt+[      0.01 s earlier
Ctrl+Alt+]      0.01 s later
Alt+L           Replay the highlighted line (pauses at the next line&apos;s time)
Hover a mark on the waveform to see its line; drag it to move the line&apos;s time</translation>
    </message>
</context>
<context>
    <name>lirotag::NudgeKeys</name>
    <message>
        <source>提前 0.1 秒</source>
        <translation>Earlier by 0.1 s</translation>
    </message>
    <message>
        <source>推后 0.1 秒</source>
        <translation>Later by 0.1 s</translation>
    </message>
    <message>
        <source>提前 0.01 秒</source>
        <translation>Earlier by 0.01 s</translation>
    </message>
    <message>
        <source>推后 0.01 秒</source>
        <translation>Later by 0.01 s</translation>
    </message>
</context>
<context>
    <name>lirotag::OnlineLyrics</name>
    <message>
        <source>在线歌词</source>
        <translation>Online lyrics</translation>
    </message>
    <message>
        <source>在线歌词所需的组件无法载入：
%1</source>
        <translation>The part of Lirotag that reaches the online lyrics service cannot be loaded:
%1</translation>
    </message>
    <message>
        <source>在线查找歌词(&amp;O)</source>
        <translation>Find lyrics &amp;online</translation>
    </message>
    <message>
        <source>按歌曲的歌名、歌手和长度在网上歌词库（LRCLIB）里查找已有的歌词，预览后载入 (Alt+O)</source>
        <translation>Look up lyrics in the online lyrics library (LRCLIB) by the song&apos;s title, artist and length; preview and load them (Alt+O)</translation>
    </message>
    <message>
        <source>发布歌词(&amp;U)</source>
        <translation>P&amp;ublish lyrics</translation>
    </message>
    <message>
        <source>把歌词框里的歌词发布到网上歌词库（LRCLIB），让大家都能用上；需要打开这首歌 (Alt+U)</source>
        <translation>Publish the lyrics in the lyrics box to the online lyrics library (LRCLIB) for everyone to use; the song must be open (Alt+U)</translation>
    </message>
    <message>
        <source>载入歌词</source>
        <translation>Load lyrics</translation>
    </message>
    <message>
        <source>歌词框里的文字还没有保存，载入找到的歌词会替换它们（之后可以用“撤销”找回）。
要载入吗？</source>
        <translation>The text in the lyrics box has not been saved. Loading the lyrics found replaces it (Undo brings it back).
Load them?</translation>
    </message>
    <message>
        <source>发布歌词</source>
        <translation>Publish lyrics</translation>
    </message>
    <message>
        <source>请先打开这首歌再发布：歌词库按歌曲的准确长度收录歌词。</source>
        <translation>Please open the song before publishing: the library files lyrics by the song&apos;s exact length.</translation>
    </message>
    <message>
        <source>不知道这首歌的歌名和歌手：歌曲的标签里没有，歌词的 [ti:] [ar:] 里也没有。
请先用“设置附加信息”填上歌名和歌手。</source>
        <translation>The song&apos;s title and artist are unknown: neither the song&apos;s tags nor the lyrics&apos; [ti:] [ar:] give them.
Please fill them in with &quot;Edit tags&quot; first.</translation>
    </message>
    <message>
        <source>还在计算这首歌的准确长度，请过几秒再发布。</source>
        <translation>The song&apos;s exact length is still being measured. Please publish again in a few seconds.</translation>
    </message>
    <message>
        <source>歌词框里没有可以发布的歌词。</source>
        <translation>The lyrics box holds no lyrics to publish.</translation>
    </message>
</context>
<context>
    <name>lirotag::PublishDialog</name>
    <message>
        <source>发布歌词</source>
        <translation>Publish lyrics</translation>
    </message>
    <message>
        <source>将把以下内容发布到歌词库 %1，所有人都可以查到：</source>
        <translation>The following will be published to the lyrics library %1, for everyone to find:</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>歌名：</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>歌手：</source>
        <translation>Artist:</translation>
    </message>
    <message>
        <source>专辑：</source>
        <translation>Album:</translation>
    </message>
    <message>
        <source>长度：</source>
        <translation>Length:</translation>
    </message>
    <message>
        <source>%1 秒（%2）</source>
        <translation>%1 s (%2)</translation>
    </message>
    <message>
        <source>行数：</source>
        <translation>Lines:</translation>
    </message>
    <message>
        <source>%1 行</source>
        <translation>%1 lines</translation>
    </message>
    <message>
        <source>类型：</source>
        <translation>Kind:</translation>
    </message>
    <message>
        <source>纯文本歌词（没有时间标签）</source>
        <translation>Plain lyrics (no time tags)</translation>
    </message>
    <message>
        <source>同步歌词（带时间标签），另附去掉标签的纯文本</source>
        <translation>Synced lyrics (with time tags), plus the plain text without tags</translation>
    </message>
    <message>
        <source>发布前需要完成服务器的防滥用验证，要用上所有处理器核心计算几秒到几十秒。</source>
        <translation>Before publishing, the server&apos;s anti-abuse check has to be solved; this keeps all processor cores busy for a few seconds up to a minute.</translation>
    </message>
    <message>
        <source>发布(&amp;P)</source>
        <translation>&amp;Publish</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在向服务器领取验证题……</source>
        <translation>Fetching the challenge from the server…</translation>
    </message>
    <message>
        <source>正在计算验证……</source>
        <translation>Solving the challenge…</translation>
    </message>
    <message>
        <source>验证完成，正在发送歌词……</source>
        <translation>Challenge solved, sending the lyrics…</translation>
    </message>
    <message>
        <source>正在计算验证：已尝试 %1 万次，平均需要约 %2 万次……</source>
        <translation>Solving the challenge: %1 ×10,000 tries so far, about %2 ×10,000 needed on average…</translation>
    </message>
    <message>
        <source>发布成功，谢谢！歌词库已收下这首歌的歌词。</source>
        <translation>Published, thank you! The library now has lyrics for this song.</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>发布失败：</source>
        <translation>Publishing failed: </translation>
    </message>
    <message>
        <source>重试(&amp;P)</source>
        <translation>&amp;Publish again</translation>
    </message>
</context>
<context>
    <name>lirotag::Recovery</name>
    <message>
        <source>恢复歌词</source>
        <translation>Recover lyrics</translation>
    </message>
    <message>
        <source>上次留下的恢复文件已损坏，无法恢复。
它已被移到：
</source>
        <translation>The recovery file left last time is damaged and cannot be restored.
It was moved to:
</translation>
    </message>
    <message>
        <source>上次编辑的歌词没有保存，程序就意外关闭了。
保留于：%1</source>
        <translation>The program closed unexpectedly before the lyrics being edited were saved.
Kept at: %1</translation>
    </message>
    <message>
        <source>歌曲：%1</source>
        <translation>Song: %1</translation>
    </message>
    <message>
        <source>是否恢复这些歌词？</source>
        <translation>Restore these lyrics?</translation>
    </message>
</context>
<context>
    <name>lirotag::SettingsWindow</name>
    <message>
        <source>以下字段不分大小写<byte value="xd"/>
%LocalDir%：歌曲所在目录，不包含末尾“\”<byte value="xd"/>
%FileName%：歌曲文件名，不包含扩展名<byte value="xd"/>
%FullName%：含扩展名的歌曲文件名<byte value="xd"/>
%Ext%：扩展名<byte value="xd"/>
<byte value="xd"/>
%Title%：歌曲标签内的『标题』<byte value="xd"/>
%Artist%：歌曲标签内的『艺术家』<byte value="xd"/>
%Album%：歌曲标签内的『专辑』</source>
        <translation>Field names are not case-sensitive
%LocalDir%: the song&apos;s folder, without the trailing “\”
%FileName%: the song&apos;s file name without extension
%FullName%: the song&apos;s file name with extension
%Ext%: the extension

%Title%: the &quot;Title&quot; in the song&apos;s tags
%Artist%: the &quot;Artist&quot; in the song&apos;s tags
%Album%: the &quot;Album&quot; in the song&apos;s tags</translation>
    </message>
    <message>
        <source>请注意，不是所有播放器都支持带3位小数的歌词文件。<byte value="xd"/>
而且，以1/1000秒为分度值并不比1/100秒精确很多。<byte value="xd"/>
选择此项，很有可能导致生成的.LRC文件不可用！<byte value="xd"/>
是否要继续？</source>
        <translation>Note that not all players support lyric files with 3 decimals.
And timing to 1/1000 s is hardly more precise than to 1/100 s.
With this option, the saved .LRC files may well be unusable!
Continue?</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>设置附加信息</source>
        <translation>Edit tags</translation>
    </message>
    <message>
        <source>完全模式（输入全部4个字段）</source>
        <translation>Full mode (all 4 fields)</translation>
    </message>
    <message>
        <source>快速模式（输入歌词制作人，其他从音乐文件读取）</source>
        <translation>Quick mode (type the maker, rest from tags)</translation>
    </message>
    <message>
        <source>歌词制作人：</source>
        <translation>Lyrics by:</translation>
    </message>
    <message>
        <source>写出歌词时自动添加</source>
        <translation>Add when saving</translation>
    </message>
    <message>
        <source>保存歌词</source>
        <translation>Save lyrics</translation>
    </message>
    <message>
        <source>每次都弹出对话框选择位置</source>
        <translation>Always ask where to save</translation>
    </message>
    <message>
        <source>自动保存在以下位置</source>
        <translation>Save automatically to:</translation>
    </message>
    <message>
        <source>哪些字段可用？</source>
        <translation>Which fields?</translation>
    </message>
    <message>
        <source>保存位置</source>
        <translation>Save location</translation>
    </message>
    <message>
        <source>文本编码</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>歌词区背景颜色</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>普通文本颜色</source>
        <translation>Normal text</translation>
    </message>
    <message>
        <source>高亮文本颜色</source>
        <translation>Highlight</translation>
    </message>
    <message>
        <source>退出时询问</source>
        <translation>Ask on exit</translation>
    </message>
    <message>
        <source>时间标签精确到1/1000秒</source>
        <translation>Time tags to 1/1000 s</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>界面语言，下次启动时生效<byte value="xd"/>
自动：随系统的语言（英语系统为英文，其他为中文）</source>
        <translation>Interface language, used from the next start
Automatic: follows the system (English on an English system, Chinese otherwise)</translation>
    </message>
    <message>
        <source>完全模式：单击『设置附加信息』按钮后，将弹出对话框，来设置歌词的4个附加信息</source>
        <translation>Full mode: &quot;Edit tags&quot; opens a dialog to set the lyrics&apos; 4 tags</translation>
    </message>
    <message>
        <source>快速模式：单击『设置附加信息』按钮后，自动读取歌曲文件的Title、Artist、Album，并根据设置的『歌词制作人』来填充</source>
        <translation>Quick mode: &quot;Edit tags&quot; reads Title, Artist and Album from the song file and fills in &quot;Lyrics by&quot; from this setting</translation>
    </message>
    <message>
        <source>写出.LRC文件前自动设置附加信息，仅限快速模式</source>
        <translation>Set the tags automatically before writing the .LRC file (quick mode only)</translation>
    </message>
    <message>
        <source>选择写出的.LRC歌词所采用的编码方式<byte value="xd"/>
建议选择UTF16以便在不同语言的机器上正常显示</source>
        <translation>The text encoding of saved .LRC lyrics
UTF16 is recommended so that they display correctly on systems in any language</translation>
    </message>
    <message>
        <source>生成的时间标签精确到1/1000秒（3位小数），否则为1/100秒（2位）<byte value="xd"/>
注意，有些播放器不支持含3位小数的歌词文件</source>
        <translation>Write time tags to 1/1000 s (3 decimals) instead of 1/100 s (2 decimals)
Note: some players cannot read lyrics with 3 decimals</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>保存歌词时同时写入歌曲</source>
        <translation>Also save the lyrics into the song</translation>
    </message>
    <message>
        <source>界面语言将在下次启动程序时更换。</source>
        <translation>The new language is used from the next start of the program.</translation>
    </message>
    <message>
        <source>按键延迟补偿（毫秒）</source>
        <translation>Key delay (ms)</translation>
    </message>
    <message>
        <source>校准…</source>
        <translation>Measure…</translation>
    </message>
    <message>
        <source>从听到到按下按键总要一点时间。加入的每个时间标签（整行或逐字）都减去这段时间，<byte value="xd"/>
使歌词不再比歌声晚。0 表示不补偿；可用“校准…”测出自己的延迟</source>
        <translation>Hearing and pressing a key always takes a moment. It is taken off every time tag you add (line or word),
so that the lyrics no longer lag behind the singing. 0 means no correction; &quot;Measure…&quot; finds your own delay</translation>
    </message>
    <message>
        <source>播放一段节拍声，跟着按空格键，测出自己的按键延迟</source>
        <translation>Plays a series of beats; press the space bar along to measure your key delay</translation>
    </message>
</context>
<context>
    <name>lirotag::Skins</name>
    <message>
        <source>更换皮肤</source>
        <translation>Skin</translation>
    </message>
    <message>
        <source>禁用</source>
        <translation>None</translation>
    </message>
    <message>
        <source>浅色.she</source>
        <translation>Light.she</translation>
    </message>
    <message>
        <source>深色.she</source>
        <translation>Dark.she</translation>
    </message>
</context>
<context>
    <name>lirotag::SongLyrics</name>
    <message>
        <source>歌词为空，没有写入歌曲。</source>
        <translation>The lyrics are empty; nothing was written into the song.</translation>
    </message>
    <message>
        <source>不支持向这种类型的歌曲写入歌词：
%1</source>
        <translation>Writing lyrics into this kind of song is not supported:
%1</translation>
    </message>
    <message>
        <source>找不到歌曲文件：
%1</source>
        <translation>The song file cannot be found:
%1</translation>
    </message>
    <message>
        <source>歌曲文件是只读的，没有写入：
%1</source>
        <translation>The song file is read-only; nothing was written:
%1</translation>
    </message>
    <message>
        <source>磁盘空间不足，没有写入歌曲。歌曲没有改变。</source>
        <translation>Not enough disk space; nothing was written. The song is unchanged.</translation>
    </message>
    <message>
        <source>写入歌曲时发生错误，歌曲没有改变：
%1</source>
        <translation>An error occurred while writing the song; it is unchanged:
%1</translation>
    </message>
    <message>
        <source>写入后检查未通过（歌词读不回来或音频有变），歌曲没有改变：
%1</source>
        <translation>The check after writing failed (the lyrics did not read back or the audio changed); the song is unchanged:
%1</translation>
    </message>
    <message>
        <source>写入歌词所需的组件（liblirotag_tag_writer.so）无法载入，歌曲没有改变。</source>
        <translation>The part of Lirotag that writes lyrics (liblirotag_tag_writer.so) cannot be loaded; the song is unchanged.</translation>
    </message>
    <message>
        <source>载入歌曲内嵌歌词(&amp;I)</source>
        <translation>Load lyrics &amp;in the song</translation>
    </message>
    <message>
        <source>写入歌曲(&amp;G)</source>
        <translation>Write into the son&amp;g</translation>
    </message>
    <message>
        <source>载入歌曲内嵌歌词</source>
        <translation>Load lyrics in the song</translation>
    </message>
    <message>
        <source>歌词框中的文本还没有保存，载入歌曲内嵌歌词将替换它（可以撤销）。
是否继续？</source>
        <translation>The text in the lyrics box has not been saved; loading the song&apos;s lyrics replaces it (Undo brings it back).
Continue?</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>请先打开一首歌曲。</source>
        <translation>Please open a song first.</translation>
    </message>
    <message>
        <source>这首歌曲没有内嵌歌词。</source>
        <translation>This song has no embedded lyrics.</translation>
    </message>
    <message>
        <source>不支持从这种类型的歌曲读取歌词：
%1</source>
        <translation>Reading lyrics from this kind of song is not supported:
%1</translation>
    </message>
    <message>
        <source>打开歌曲文件
%1
时发生错误。</source>
        <translation>An error occurred while opening the song file
%1</translation>
    </message>
    <message>
        <source>歌词已写入歌曲。</source>
        <translation>The lyrics were written into the song.</translation>
    </message>
</context>
<context>
    <name>lirotag::SubtitleFiles</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>歌词中没有带时间标签的行，无法导出字幕。</source>
        <translation>The lyrics have no time-tagged lines, so no subtitles can be exported.</translation>
    </message>
    <message>
        <source>写出文件
%1
时发生错误。</source>
        <translation>An error occurred while writing the file
%1</translation>
    </message>
    <message>
        <source>文件
%1
中没有可以读取的字幕（SRT、WebVTT、ASS、TTML）。</source>
        <translation>The file
%1
holds no subtitles that can be read (SRT, WebVTT, ASS, TTML).</translation>
    </message>
</context>
<context>
    <name>lirotag::TimingAids</name>
    <message>
        <source>播放速度：Alt+－ 减慢，Alt+＝ 加快，Alt+０ 恢复原速；在此滚动鼠标滚轮也可调节</source>
        <translation>Playing speed: Alt+- slower, Alt+= faster, Alt+0 normal; turning the mouse wheel here changes it too</translation>
    </message>
    <message>
        <source>播放速度</source>
        <translation>Playing speed</translation>
    </message>
    <message>
        <source>减慢</source>
        <translation>Slower</translation>
    </message>
    <message>
        <source>加快</source>
        <translation>Faster</translation>
    </message>
    <message>
        <source>原速</source>
        <translation>Normal speed</translation>
    </message>
    <message>
        <source>显示波形</source>
        <translation>Show waveform</translation>
    </message>
</context>
<context>
    <name>lirotag::Transport</name>
    <message>
        <source>(无文件)</source>
        <translation>(no song)</translation>
    </message>
    <message>
        <source>跳转到%1</source>
        <translation>Seek %1</translation>
    </message>
    <message>
        <source>总时间%1分%2秒</source>
        <translation>Total %1m %2s</translation>
    </message>
    <message>
        <source>选择歌曲</source>
        <translation>Choose a song</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>打开文件
%1
时发生错误。</source>
        <translation>An error occurred while opening the file
%1</translation>
    </message>
    <message>
        <source>继续播放</source>
        <translation>Resume playing</translation>
    </message>
    <message>
        <source>播放(&amp;P)</source>
        <translation>&amp;Play</translation>
    </message>
    <message>
        <source>暂停(&amp;P)</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>暂停播放</source>
        <translation>Pause playing</translation>
    </message>
    <message>
        <source>音量：%1/%2</source>
        <translation>Volume: %1/%2</translation>
    </message>
</context>
<context>
    <name>lirotag::UnsavedChanges</name>
    <message>
        <source>已保存：%1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>已保存到 %1</source>
        <translation>Saved to %1</translation>
    </message>
    <message>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>歌词尚未保存到文件</source>
        <translation>The lyrics have not been saved to a file yet</translation>
    </message>
    <message>
        <source>歌词文件：%1</source>
        <translation>Lyrics file: %1</translation>
    </message>
    <message>
        <source>* 有尚未保存的修改</source>
        <translation>* There are unsaved changes</translation>
    </message>
    <message>
        <source>%1，尚未保存</source>
        <translation>%1, not saved</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>不保存</source>
        <translation>Don&apos;t save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>保存歌词</source>
        <translation>Save lyrics</translation>
    </message>
    <message>
        <source>歌词尚未保存，是否保存？</source>
        <translation>The lyrics have not been saved. Save them?</translation>
    </message>
</context>
<context>
    <name>lirotag::ui::LyricEdit</name>
    <message>
        <source>歌词</source>
        <translation>Lyrics</translation>
    </message>
    <message>
        <source>剪切(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>全选(&amp;A)</source>
        <translation>Select &amp;all</translation>
    </message>
    <message>
        <source>重新载入为</source>
        <translation>Reload as</translation>
    </message>
</context>
<context>
    <name>lirotag::ui::WaveformStrip</name>
    <message>
        <source>波形</source>
        <translation>Waveform</translation>
    </message>
    <message>
        <source>打开歌曲后，这里显示它的波形</source>
        <translation>Open a song to see its waveform here</translation>
    </message>
    <message>
        <source>单击：跳转到此处
拖动标记：移动该行的时间
滚轮：以鼠标处为中心缩放</source>
        <translation>Click: jump here
Drag a mark: move that line&apos;s time
Wheel: zoom around the mouse</translation>
    </message>
    <message>
        <source>（空行）</source>
        <translation>(blank line)</translation>
    </message>
</context>
</TS>
